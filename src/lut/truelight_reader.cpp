#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include "foundation/vx_string.h"

#include <cmath>

namespace {

constexpr int kMaxInputLength = 4096;
constexpr int kMaxWidth = 256;
constexpr uint32_t kLargestUpsampledSize = 128;
constexpr float kLargestNormalisedInput = 1.5f;

struct TruelightState {
    EDimensionRequirement requirement = EDimensionRequirement::eAnyDimension;
    bool headerSeen = false;
    bool success = false;
    int lutLength = 0;
    int width = 0;
};

// What the scan does after one line. eFinishUnread ends the scan with a
// section left incomplete, which undoes the success of earlier sections.
enum class EStep : uint8_t { eContinue, eFinish, eFinishUnread, eFail };

// Reads the next line as an RGB triple; false when the lines run out or the
// line holds fewer than three numbers.
bool NextTriple(TextLines& lines, float rgb[3]) {
    return lines.Next() && ScanFloatTriple(lines.Begin(), lines.Length(), rgb) == 3;
}

inline void StoreEntry(float* entry, const float rgb[3]) {
    entry[0] = rgb[0];
    entry[1] = rgb[1];
    entry[2] = rgb[2];
    entry[3] = 1.0f;
}

// Texels per axis of the lattice that a pre-LUT addresses: the width, or the
// size that upsampling gives it.
float AddressedTexels(int width, bool upsample) {
    if (width < 2)
        return 1.0f;
    const uint32_t size = static_cast<uint32_t>(width);
    return static_cast<float>(upsample ? UpsampledSize(size, kLargestUpsampledSize) : size);
}

// Reads `length` rows into the table; the largest value of any channel is
// `largest`.
bool ReadRows(TextLines& lines, CVxLUT& table, uint32_t length, float& largest) {
    largest = -HUGE_VALF;
    for (uint32_t i = 0; i < length; ++i) {
        float rgb[3];
        if (!NextTriple(lines, rgb))
            return false;
        for (float value : rgb)
            largest = value > largest ? value : largest;
        StoreEntry(table.m_data + size_t(i) * 4, rgb);
    }
    return true;
}

bool IsIdentityRamp(const CVxLUT& table) {
    const float last = static_cast<float>(table.m_size - 1);
    for (uint32_t i = 0; i < table.m_size; ++i) {
        const float ramp = static_cast<float>(i) / last;
        for (int c = 0; c < 3; ++c)
            if (!(std::fabs(table.m_data[i * 4 + c] - ramp) < 0.00001f))
                return false;
    }
    return true;
}

// Every value v of the table becomes map(v).
template <typename Map> void MapEntries(CVxLUT& table, Map map) {
    for (uint32_t i = 0; i < table.m_size; ++i)
        for (int c = 0; c < 3; ++c)
            table.m_data[i * 4 + c] = map(table.m_data[i * 4 + c]);
}

EStep ReadInputTable(CVxLUT& lut, TextLines& lines, TruelightState& state, bool upsample) {
    if (state.lutLength == 0)
        return EStep::eContinue;
    // A negative length becomes a size that Create refuses.
    const uint32_t length = static_cast<uint32_t>(state.lutLength);
    const bool mapped = state.width != 0;
    CVxLUT* target = &lut;
    if (mapped) {
        if (!lut.m_preLUT)
            lut.m_preLUT = new CVxLUT();
        target = lut.m_preLUT;
        if (!target->Create(length, false))
            return EStep::eFinishUnread;
    } else {
        if (state.requirement == EDimensionRequirement::eOnly3D)
            return EStep::eFail;
        if (!lut.Create(length, false))
            return EStep::eFinishUnread;
    }
    float largest = 0.0f;
    if (!ReadRows(lines, *target, length, largest))
        return EStep::eFinishUnread;
    if (!mapped) {
        state.success = true;
        return EStep::eContinue;
    }
    // Tables written in lattice index units run up to width - 1; a normalised
    // table may overshoot 1 a little, never that far.
    if (state.width >= 3 && largest > kLargestNormalisedInput) {
        const float lastIndex = static_cast<float>(state.width - 1);
        MapEntries(*target, [lastIndex](float v) { return v / lastIndex; });
    }
    if (IsIdentityRamp(*target)) {
        lut.DeletePreLUT();
        return EStep::eContinue;
    }
    // Onto the texel centres of the lattice as it will be sampled.
    const float texels = AddressedTexels(state.width, upsample);
    const float scale = 1.0f - 1.0f / texels;
    const float offset = 0.5f / texels;
    MapEntries(*target, [scale, offset](float v) { return v * scale + offset; });
    if (upsample && !lut.m_preLUT->UpsampleToPowerOfTwo(4096))
        return EStep::eFinishUnread;
    lut.m_preLUT->SetDomainUniform(0.0f, 1.0f);
    return EStep::eContinue;
}

bool IsRow(const char* line, size_t length, float rgb[3]) {
    return ScanFloatTriple(line, length, rgb) == 3;
}

// The lattice's rows after the current line, read on several cores; the lines
// are left at the last row.
EStep ReadCubeOnCores(CVxLUT& lut, TextLines& lines, size_t count, TruelightState& state) {
    TextLines rows(reinterpret_cast<const uint8_t*>(lines.Rest()),
                   size_t(lines.End() - lines.Rest()));
    if (!rows.Next())
        return EStep::eFinishUnread;
    size_t read = 0;
    uint32_t bands = 0;
    const char* stop = ReadRowsAtOnce<float>(
        rows, count, ScanPlainFloatRow, IsRow,
        [&](uint32_t, size_t row, const float* rgb) { StoreEntry(lut.m_data + row * 4, rgb); },
        read, bands);
    if (read < count)
        return EStep::eFinishUnread;
    lines = TextLines(reinterpret_cast<const uint8_t*>(stop), size_t(lines.End() - stop));
    state.success = true;
    return EStep::eContinue;
}

EStep ReadCube(CVxLUT& lut, TextLines& lines, TruelightState& state) {
    if (state.width == 0)
        return EStep::eFinish;
    if (state.width < 0 || !lut.Create(static_cast<uint32_t>(state.width), true)) {
        lut.DeletePreLUT();
        return EStep::eFail;
    }
    const size_t count = size_t(lut.m_size) * lut.m_size * lut.m_size;
    if (WorthSplitting(lines))
        return ReadCubeOnCores(lut, lines, count, state);
    for (size_t i = 0; i < count; ++i) {
        float rgb[3];
        if (!NextTriple(lines, rgb))
            return EStep::eFinishUnread;
        StoreEntry(lut.m_data + i * 4, rgb);
    }
    state.success = true;
    return EStep::eContinue;
}

// One header line with the "#" removed and trimmed.
EStep ReadHeaderLine(CVxLUT& lut, TextLines& lines, const char* text, size_t length,
                     TruelightState& state, bool upsample) {
    float version = 0;
    int value = 0;
    // The blanks of the pattern also match no blank at all, so only its first
    // word is a safe pre-test.
    if (LineHasLiteralAfterBlanks(text, length, "Truelight") &&
        ScanLine(text, length, " Truelight Cube v%f ", &version) == 1) {
        state.headerSeen = true;
        return EStep::eContinue;
    }
    if (LineHasLiteralAfterBlanks(text, length, "iDims") &&
        ScanLine(text, length, " iDims %d ", &value) == 1)
        return value == 3 ? EStep::eContinue : EStep::eFail;
    if (LineHasLiteralAfterBlanks(text, length, "lutLength") &&
        ScanLine(text, length, " lutLength %d ", &value) == 1) {
        if (value > kMaxInputLength)
            return EStep::eFail;
        state.lutLength = value;
        return EStep::eContinue;
    }
    if (LineHasLiteralAfterBlanks(text, length, "oDims") &&
        ScanLine(text, length, " oDims %d ", &value) == 1) {
        const bool refused = value != 3 || state.requirement == EDimensionRequirement::eOnly1D;
        return refused ? EStep::eFail : EStep::eContinue;
    }
    int widths[3];
    if (LineHasLiteralAfterBlanks(text, length, "width") &&
        ScanLine(text, length, " width %d %d %d", &widths[0], &widths[1], &widths[2]) == 3) {
        if (widths[0] != widths[1] || widths[1] != widths[2] || widths[0] > kMaxWidth)
            return EStep::eFail;
        state.width = widths[0];
        return EStep::eContinue;
    }
    if (FirstWordIs(text, length, "InputLUT"))
        return ReadInputTable(lut, lines, state, upsample);
    if (FirstWordIs(text, length, "Cube"))
        return ReadCube(lut, lines, state);
    if (FirstWordIs(text, length, "End"))
        return EStep::eFinish;
    return EStep::eContinue;
}

EReaderResult FailAndClear(CVxLUT& lut) {
    lut.DeletePreLUT();
    lut.Clear();
    return EReaderResult::eFailed;
}

EReaderResult Finish(CVxLUT& lut, TruelightState& state, bool upsample) {
    if (state.success && upsample && lut.m_is3D && !lut.UpsampleToPowerOfTwo(kLargestUpsampledSize))
        state.success = false;
    if (!state.success) {
        lut.DeletePreLUT();
        lut.Clear();
        return state.headerSeen ? EReaderResult::eFailed : EReaderResult::eNotRecognised;
    }
    if (lut.m_preLUT) {
        const float half = 0.5f / static_cast<float>(lut.m_size);
        lut.SetDomainUniform(half, 1.0f - half);
    } else {
        lut.SetDomainUniform(0.0f, 1.0f);
    }
    return EReaderResult::eLoaded;
}

} // namespace

EReaderResult ReadTruelightLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample,
                               EDimensionRequirement requirement) {
    TruelightState state;
    state.requirement = requirement;
    TextLines lines(data, size);
    while (lines.Next()) {
        if (lines.IsExactly("#"))
            continue;
        if (!lines.StartsWith("#", true)) {
            if (state.headerSeen)
                return FailAndClear(lut);
            break;
        }
        const std::string_view header = CVxString::Trim({lines.Begin() + 1, lines.Length() - 1});
        const char* text = header.data();
        const size_t length = header.size();
        const EStep step = ReadHeaderLine(lut, lines, text, length, state, upsample);
        if (step == EStep::eFail)
            return FailAndClear(lut);
        if (step == EStep::eFinishUnread)
            state.success = false;
        if (step != EStep::eContinue)
            break;
    }
    return Finish(lut, state, upsample);
}
