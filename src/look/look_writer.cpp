#include "look/look_writer.h"

#include "foundation/parallel_bands.h"
#include "foundation/xml_writer.h"
#include "look/grading_params.h"
#include "look/look_elements.h"
#include "look/shape_mask.h"
#include "platform/large_buffer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr const char* kLookStart = "<?xml version=\"1.0\" ?>\n<look>\n";
constexpr const char* kLookEnd = "</look>\n";

// A string holds at most this many bytes besides its terminating 0.
constexpr uint64_t kMaxStringLength = 0xFFFFFFFEu;

constexpr uint32_t kMaxLatticeSize = 2048;
constexpr uint64_t kBytesPerEntry = 12; // three 32-bit floats
constexpr size_t kRunBytes = 32;
constexpr char kRunBreak[] = "\n      ";
constexpr size_t kRunBreakLength = sizeof kRunBreak - 1;
constexpr size_t kRunTextLength = kRunBreakLength + 2 * kRunBytes;
// Runs encoded at a time when streaming: 1 MiB of data, 2.2 MB of text.
constexpr size_t kChunkRuns = size_t(1) << 15;

// --- values that read back as written ---

bool IsQuotable(const CVxString& text) {
    return std::memchr(text.Data(), '"', text.Length()) == nullptr &&
           std::memchr(text.Data(), 0, text.Length()) == nullptr;
}

// A tag the reader takes as a start tag of this very name: no blank or line
// break, no '>', and no start that makes it an end tag, a comment or a prolog.
bool IsTagName(const CVxString& name) {
    if (name.IsEmpty() || name[0] == '/' || name[0] == '!' || name[0] == '?')
        return false;
    // The terminating 0 of the set rejects a 0 byte too.
    static const char kBreaking[] = " \t\r\n>";
    for (uint32_t i = 0; i < name.Length(); ++i)
        if (std::memchr(kBreaking, name[i], sizeof kBreaking))
            return false;
    return true;
}

// A text beginning with 'N' would come back as a marker parameter, an
// infinite number as a text; a LUT file name comes back whole, so it can
// carry no marker.
bool IsReadableParam(const CVxShaderParam& param) {
    if (!IsTagName(param.Name))
        return false;
    const bool namesLut = NamesLutFile(param.Name);
    if (namesLut && param.IsMarker())
        return false;
    if (param.IsDouble)
        return std::isfinite(param.dValue);
    if (!IsQuotable(param.Value))
        return false;
    return namesLut || param.IsMarker() || param.Value.IsEmpty() || param.Value[0] != 'N';
}

bool AreParamsReadable(const CVxShaderParamStorage& layer, bool isBaseSublayer) {
    for (uint32_t i = 0; i < layer.ParamCount(); ++i) {
        const CVxShaderParam& param = *layer.GetParam(i);
        if (isBaseSublayer && IsOmittedBaseParam(param))
            continue;
        if (!IsReadableParam(param))
            return false;
    }
    return true;
}

bool IsGradingReadable(const CVxGradingParamStorage& grading) {
    for (uint32_t i = 0; i < grading.LayerCount(); ++i) {
        if (grading.IsBaseLayer(i))
            continue;
        const CVxShaderParamStorage& layer = *grading.Layer(i);
        if (layer.Name().IsEmpty())
            continue;
        if (!IsQuotable(layer.Name()) || !std::isfinite(layer.Opacity()) ||
            !AreParamsReadable(layer, false))
            return false;
    }
    for (uint32_t k = 0; k < grading.BaseSublayerCount(); ++k) {
        const CVxShaderParamStorage& sublayer = *grading.BaseSublayer(k);
        if (!std::isfinite(sublayer.Opacity()) || !AreParamsReadable(sublayer, true))
            return false;
    }
    return true;
}

bool IsMaskReadable(const CVxShapeMask& mask) {
    if (!IsQuotable(mask.m_name) || !std::isfinite(mask.m_width) || !std::isfinite(mask.m_height))
        return false;
    for (const MaskContour& contour : mask.m_contours) {
        if (contour.sets.empty())
            continue;
        for (const MaskPoint& point : contour.sets.front().points)
            for (const MaskCurve& curve : point.fields)
                if (!std::isfinite(curve.StaticValue(0)) || !std::isfinite(curve.StaticValue(1)))
                    return false;
    }
    return true;
}

// --- the LUT element ---

CVxString LutHeader(const char* element, uint32_t size) {
    CVxString header;
    AppendXMLFormat(header, "  <%s>\n    <size>\"%u\"</size>\n    <data>\"", element, size);
    return header;
}

CVxString LutFooter(const char* element) {
    CVxString footer;
    AppendXMLFormat(footer, "\"\n    </data>\n  </%s>\n", element);
    return footer;
}

// The upper-case hex digit of a nibble. Arithmetic rather than a table
// lookup, so that whole lines of digits are formed in vector registers.
inline char HexDigit(uint8_t nibble) {
    return static_cast<char>(nibble + (nibble > 9 ? 'A' - 10 : '0'));
}

// One line of the data: its break, then two digits a byte, high nibble first.
inline char* EncodeRun(char* dest, const uint8_t* bytes, size_t count) {
    std::memcpy(dest, kRunBreak, kRunBreakLength);
    dest += kRunBreakLength;
    char digits[2 * kRunBytes];
    for (size_t i = 0; i < count; ++i) {
        digits[2 * i] = HexDigit(bytes[i] >> 4);
        digits[2 * i + 1] = HexDigit(bytes[i] & 15);
    }
    std::memcpy(dest, digits, 2 * count);
    return dest + 2 * count;
}

// Runs [first, last) of the data from `dest` on; only the data's last run may
// be short, so every other run is encoded with a constant count the compiler unrolls.
void EncodeRuns(char* dest, const uint8_t* bytes, size_t byteCount, size_t first, size_t last) {
    const size_t fullRuns = std::min(last, byteCount / kRunBytes);
    size_t run = first;
    for (; run < fullRuns; ++run)
        dest = EncodeRun(dest, bytes + run * kRunBytes, kRunBytes);
    if (run < last)
        EncodeRun(dest, bytes + run * kRunBytes, byteCount - run * kRunBytes);
}

size_t RunCount(size_t byteCount) {
    return (byteCount + kRunBytes - 1) / kRunBytes;
}

// Text length of runs [first, last).
size_t RunTextLength(size_t byteCount, size_t first, size_t last) {
    const size_t end = std::min(last * kRunBytes, byteCount);
    return (last - first) * kRunBreakLength + (end - first * kRunBytes) * 2;
}

// Memory that std::free releases.
struct FreeMemory {
    void operator()(char* memory) const { std::free(memory); }
};

// The runs handed to the sink a chunk at a time; the next chunk is encoded
// while the sink takes the current one, so encoding costs little beyond the
// writing itself. The two chunks' text lies in large pages: a fresh page
// costs a fault on its first touch.
bool StreamHexRuns(ByteSink& out, const uint8_t* bytes, size_t byteCount,
                   const WaitForLutBytes& waitFor) {
    const size_t runs = RunCount(byteCount);
    if (runs == 0)
        return true;
    const size_t chunkRuns = std::min(runs, kChunkRuns);
    const size_t chunkText = chunkRuns * kRunTextLength;
    const std::unique_ptr<char, FreeMemory> text(
        static_cast<char*>(platform::AllocateLargeBuffer(2 * chunkText)));
    if (!text)
        return false;
    auto runsOf = [&](size_t chunk, size_t& first, size_t& last) {
        first = chunk * chunkRuns;
        last = std::min(runs, first + chunkRuns);
    };
    bool encoded[2] = {false, false};
    return PipelineChunks(
        (runs + chunkRuns - 1) / chunkRuns,
        [&](size_t chunk, int slot) {
            size_t first = 0, last = 0;
            runsOf(chunk, first, last);
            encoded[slot] = !waitFor || waitFor(std::min(byteCount, last * kRunBytes));
            if (encoded[slot])
                EncodeRuns(text.get() + slot * chunkText, bytes, byteCount, first, last);
        },
        [&](size_t chunk, int slot) {
            size_t first = 0, last = 0;
            runsOf(chunk, first, last);
            return encoded[slot] &&
                   out.Append(text.get() + slot * chunkText, RunTextLength(byteCount, first, last));
        });
}

// The floats' bytes in little-endian order, copied into `scratch` only on a
// big-endian machine.
const uint8_t* LittleEndianBytes(const float* values, size_t count, std::vector<uint8_t>& scratch) {
    if constexpr (std::endian::native == std::endian::little) {
        return reinterpret_cast<const uint8_t*>(values);
    } else {
        scratch.resize(count * 4);
        for (size_t i = 0; i < count; ++i) {
            const uint32_t word = std::bit_cast<uint32_t>(values[i]);
            for (int b = 0; b < 4; ++b)
                scratch[i * 4 + b] = static_cast<uint8_t>(word >> (8 * b));
        }
        return scratch.data();
    }
}

// --- the document ---

void WriteCdl(CVxString& out, const CVxGradingParamStorage& grading) {
    double slope[3], offset[3], power[3];
    if (!ExtractCdl(grading, slope, offset, power))
        return;
    WriteXMLOpen(out, 2, "ASC");
    WriteXMLDouble3(out, 4, "slope", slope);
    WriteXMLDouble3(out, 4, "offset", offset);
    WriteXMLDouble3(out, 4, "power", power);
    WriteXMLClose(out, 2, "ASC");
}

// Everything before the baked LUTs.
void WriteDocumentHead(CVxString& out, const CVxGradingParamStorage& grading,
                       const CVxShapeMask* mask) {
    out.Append(kLookStart);
    WriteXMLOpen(out, 2, "shaders");
    WriteGradingLayers(out, grading, 4);
    if (grading.IsOneDimensional())
        WriteXMLText(out, 4, "grading1d", "1");
    WriteXMLClose(out, 2, "shaders");
    WriteCdl(out, grading);
    if (mask)
        mask->WriteElement(out, 2);
}

} // namespace

bool ExtractCdl(const CVxGradingParamStorage& grading, double slope[3], double offset[3],
                double power[3]) {
    if (!grading.IsPerChannelOnly(false))
        return false;
    const CVxShaderParamStorage missing;
    const CVxShaderParamStorage* primary = grading.BaseSublayer(0);
    const CVxShaderParamStorage& base = primary ? *primary : missing;
    auto value = [&base](const char* name, double fallback) { return base.Number(name, fallback); };

    const double contrastRange = std::pow(2.0, std::max(value("ContrastRange", 1), 1.0));
    const double gainRange = std::pow(2.0, std::max(value("GainRange", 1), 1.0));
    const double overall = value("Overall", 0);
    const double temperature = value("Temperature", 0);
    const double magenta = value("Magenta", 0);
    const double gain[3] = {
        std::pow(gainRange, value("Gain.X", 0) + overall + (temperature + magenta * 0.5)),
        std::pow(gainRange, value("Gain.Y", 0) + overall - magenta),
        std::pow(gainRange, value("Gain.Z", 0) + overall + (magenta * 0.5 - temperature))};
    const double contrast = std::pow(contrastRange, value("Contrast", 0));
    const double pivot = value("Pivot", 0.5);
    const double gammaRange = value("GammaRange", 3);

    static const char* const kOffsets[3] = {"Offset.X", "Offset.Y", "Offset.Z"};
    static const char* const kPrinterLights[3] = {"PrinterLights.x", "PrinterLights.y",
                                                  "PrinterLights.z"};
    static const char* const kGammas[3] = {"Gamma.X", "Gamma.Y", "Gamma.Z"};
    for (int c = 0; c < 3; ++c) {
        offset[c] = gain[c] * (value(kOffsets[c], 0) + pivot - contrast * pivot);
        slope[c] = std::pow(2.0, value(kPrinterLights[c], 0)) * contrast * gain[c];
        power[c] = std::pow(gammaRange, value(kGammas[c], 0));
    }
    return true;
}

uint64_t LutElementLength(const char* element, uint32_t size, uint64_t entryCount) {
    // Far past what a string holds, yet small enough to add up without overflow.
    if (entryCount > kMaxStringLength)
        return kMaxStringLength + 1;
    const uint64_t bytes = entryCount * kBytesPerEntry;
    const uint64_t runs = (bytes + kRunBytes - 1) / kRunBytes;
    return LutHeader(element, size).Length() + runs * kRunBreakLength + bytes * 2 +
           LutFooter(element).Length();
}

bool WriteLutElement(ByteSink& out, const char* element, uint32_t size, const float* rgb,
                     uint64_t entryCount, const WaitForLutBytes& waitFor) {
    if (entryCount > kMaxStringLength)
        return false;
    const size_t byteCount = static_cast<size_t>(entryCount * kBytesPerEntry);
    // Bytes reordered for a big-endian machine are copied at once, so all of
    // them must be final first.
    const bool copied = std::endian::native != std::endian::little;
    if (copied && waitFor && !waitFor(byteCount))
        return false;
    std::vector<uint8_t> scratch;
    const uint8_t* bytes = LittleEndianBytes(rgb, byteCount / 4, scratch);
    const CVxString header = LutHeader(element, size);
    const CVxString footer = LutFooter(element);
    return out.Append(header.Data(), header.Length()) &&
           StreamHexRuns(out, bytes, byteCount, copied ? WaitForLutBytes() : waitFor) &&
           out.Append(footer.Data(), footer.Length());
}

bool CanWriteLookDocument(const CVxGradingParamStorage& grading, const CVxShapeMask* mask) {
    return IsGradingReadable(grading) && (!mask || mask->IsEmpty() || IsMaskReadable(*mask));
}

bool WriteLookDocument(ByteSink& out, const CVxGradingParamStorage& grading,
                       const CVxShapeMask* mask, const float* lut3D, uint32_t size3D,
                       const float* lut1D, uint32_t size1D, const WaitForLutBytes& waitFor3D) {
    if (!CanWriteLookDocument(grading, mask))
        return false;
    const bool with3D = lut3D && size3D != 0;
    // No lattice past this size fits into a document, and its cube could overflow.
    if (with3D && size3D > kMaxLatticeSize)
        return false;
    const bool with1D = lut1D && size1D != 0 && grading.IsPerChannelOnly(false);
    CVxString head;
    WriteDocumentHead(head, grading, mask);
    if (!out.Append(head.Data(), head.Length()))
        return false;
    if (with3D &&
        !WriteLutElement(out, "LUT", size3D, lut3D, uint64_t(size3D) * size3D * size3D, waitFor3D))
        return false;
    if (with1D && !WriteLutElement(out, "LUT1D", size1D, lut1D, size1D))
        return false;
    return out.Append(kLookEnd, std::strlen(kLookEnd));
}

bool WriteLookDocument(CVxString& out, const CVxGradingParamStorage& grading,
                       const CVxShapeMask* mask, const float* lut3D, uint32_t size3D,
                       const float* lut1D, uint32_t size1D) {
    if (!CanWriteLookDocument(grading, mask) || (lut3D && size3D > kMaxLatticeSize))
        return false;
    CVxString head;
    WriteDocumentHead(head, grading, mask);
    uint64_t total = head.Length() + std::strlen(kLookEnd);
    if (lut3D && size3D != 0)
        total += LutElementLength("LUT", size3D, uint64_t(size3D) * size3D * size3D);
    if (lut1D && size1D != 0 && grading.IsPerChannelOnly(false))
        total += LutElementLength("LUT1D", size1D, size1D);
    if (total > kMaxStringLength)
        return false;
    CVxString text;
    text.Reserve(static_cast<uint32_t>(total + 1));
    StringSink sink(text);
    if (!WriteLookDocument(sink, grading, mask, lut3D, size3D, lut1D, size1D))
        return false;
    out = std::move(text);
    return true;
}

void WriteLutWrapperLook(CVxString& out, const CVxString& lutFileName) {
    out.Empty();
    out.Append(kLookStart);
    WriteXMLOpen(out, 2, "shaders");
    WriteXMLOpen(out, 4, "base");
    WriteXMLText(out, 6, "visible", "1");
    WriteXMLOpen(out, 6, "sublayer0");
    WriteXMLText(out, 8, "opacity", "1");
    WriteXMLOpen(out, 8, "parameters");
    WriteXMLText(out, 10, "BaseLUT", lutFileName);
    WriteXMLClose(out, 8, "parameters");
    WriteXMLClose(out, 6, "sublayer0");
    WriteXMLClose(out, 4, "base");
    WriteXMLClose(out, 2, "shaders");
    out.Append(kLookEnd);
}
