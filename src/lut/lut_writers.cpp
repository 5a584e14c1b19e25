#include "lut/lut_writers.h"

#include "foundation/parallel_bands.h"
#include "platform/large_buffer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

bool LutTable::HasUnitDomain() const {
    for (int c = 0; c < 3; ++c)
        if (domainMin[c] != 0.0f || domainMax[c] != 1.0f)
            return false;
    return true;
}

bool LutTable::HasUniformDomain() const {
    return domainMin[0] == domainMin[1] && domainMin[0] == domainMin[2] &&
           domainMax[0] == domainMax[1] && domainMax[0] == domainMax[2];
}

namespace {

// Text is gathered in a buffer of this size before it goes to the sink, so
// that a file sink sees few large writes; the slack holds a header or a line.
constexpr size_t kFlushSize = 1 << 16;
constexpr size_t kSlack = 1024;
// The longest value that AddValue writes: a sign, the 39 digits of the largest
// float, a point and six decimals.
constexpr size_t kMaxValueLength = 48;
// Below this magnitude value * 10^6 is exact in a double and fits an integer,
// so the six decimals can be had from an integer rounded to nearest, ties to
// even, which is how std::to_chars rounds them.
constexpr double kFastLimit = 1e9;

// "00" to "99", two characters a number: the decimals go out two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

char* AddDigitPair(char* at, uint32_t pair) {
    std::memcpy(at, kDigitPairs + 2 * pair, 2);
    return at + 2;
}

// Six decimals, never an exponent; -0 as 0, NaN as 0. Writes at most
// kMaxValueLength characters and returns their end.
char* FormatValue(char* at, float value) {
    const double wide = std::isnan(value) ? 0.0 : static_cast<double>(value);
    if (!(std::fabs(wide) < kFastLimit))
        return std::to_chars(at, at + kMaxValueLength, value, std::chars_format::fixed, 6).ptr;
    // Adding and taking away 2^52 rounds a non-negative double below 2^52 to
    // an integer, to nearest with ties to even as nearbyint does, without a
    // call into the library. The rounding is the same on both sides of 0, so
    // the magnitude is rounded and the sign written when anything is left.
    const double scaled = std::fabs(wide * 1e6);
    const auto units = static_cast<uint64_t>(static_cast<int64_t>((scaled + 0x1p52) - 0x1p52));
    if (wide < 0 && units != 0)
        *at++ = '-';
    // Below kFastLimit the whole part fits 32 bits.
    const auto whole = static_cast<uint32_t>(units / 1000000);
    const auto decimals = static_cast<uint32_t>(units - uint64_t(whole) * 1000000);
    at = std::to_chars(at, at + 10, whole).ptr;
    *at++ = '.';
    const uint32_t lastFour = decimals % 10000;
    at = AddDigitPair(at, decimals / 10000);
    at = AddDigitPair(at, lastFour / 100);
    return AddDigitPair(at, lastFour % 100);
}

// The longest line that FormatRow writes.
constexpr size_t kMaxRowLength = 3 * kMaxValueLength + 3;

// Red, green and blue on one line.
char* FormatRow(char* at, const float* rgb) {
    at = FormatValue(at, rgb[0]);
    *at++ = ' ';
    at = FormatValue(at, rgb[1]);
    *at++ = ' ';
    at = FormatValue(at, rgb[2]);
    *at++ = '\n';
    return at;
}

class TextBuffer {
public:
    explicit TextBuffer(ByteSink& out) : m_out(out) {}

    void Add(std::string_view text) {
        std::memcpy(m_end, text.data(), text.size());
        m_end += text.size();
    }

    void AddValue(float value) { m_end = FormatValue(m_end, value); }

    void AddCount(uint32_t count) { m_end = std::to_chars(m_end, m_end + 16, count).ptr; }

    void AddRow(const float* rgb) { m_end = FormatRow(m_end, rgb); }

    bool FlushIfFull() { return Used() < kFlushSize || Flush(); }

    bool Flush() {
        const bool written = Used() == 0 || m_out.Append(m_buffer, Used());
        m_end = m_buffer;
        return written;
    }

    // Bytes that go to the sink directly, after what the buffer holds.
    bool AppendDirect(const char* bytes, size_t size) {
        return Flush() && (size == 0 || m_out.Append(bytes, size));
    }

private:
    size_t Used() const { return static_cast<size_t>(m_end - m_buffer); }

    ByteSink& m_out;
    char m_buffer[kFlushSize + kSlack];
    char* m_end = m_buffer;
};

// The program's note as the first line, a comment that readers pass over.
void AddCommentNote(TextBuffer& text) {
    text.Add("# ");
    text.Add(kWrittenByNote);
    text.Add("\n");
}

uint64_t EntryCount(const LutTable& table) {
    const uint64_t size = table.size;
    return table.is3D ? size * size * size : size;
}

// Tables of more rows than this are formatted on every core at once, each
// band of rows into a place of its own, and then handed to the sink band
// after band: formatting costs more than writing, so it is shared out first.
constexpr uint64_t kSmallestParallelRows = 8192;

// Memory that std::free releases.
struct FreeMemory {
    void operator()(char* memory) const { std::free(memory); }
};

bool AddRowsInBands(TextBuffer& text, const LutTable& table, uint64_t count) {
    const uint32_t bands = DefaultThreadCount();
    const size_t bandBytes = static_cast<size_t>(count / bands + 1) * kMaxRowLength;
    // Room for the longest rows; large pages, of which only those that the
    // text reaches are ever touched.
    const std::unique_ptr<char, FreeMemory> places(
        static_cast<char*>(platform::AllocateLargeBuffer(bands * bandBytes)));
    if (!places)
        return false;
    std::vector<size_t> lengths(bands, 0);
    ParallelBands(static_cast<uint32_t>(count), bands,
                  [&](uint32_t band, uint32_t first, uint32_t end) {
                      char* const start = places.get() + band * bandBytes;
                      char* at = start;
                      for (uint64_t i = first; i < end; ++i)
                          at = FormatRow(at, table.Entry(i));
                      lengths[band] = static_cast<size_t>(at - start);
                  });
    for (uint32_t band = 0; band < bands; ++band)
        if (!text.AppendDirect(places.get() + band * bandBytes, lengths[band]))
            return false;
    return true;
}

bool AddRows(TextBuffer& text, const LutTable& table) {
    const uint64_t count = EntryCount(table);
    if (count >= kSmallestParallelRows)
        return AddRowsInBands(text, table, count);
    for (uint64_t i = 0; i < count; ++i) {
        text.AddRow(table.Entry(i));
        if (!text.FlushIfFull())
            return false;
    }
    return true;
}

void AddRangeLine(TextBuffer& text, std::string_view keyword, const LutTable& table) {
    text.Add(keyword);
    text.Add(" ");
    text.AddValue(table.domainMin[0]);
    text.Add(" ");
    text.AddValue(table.domainMax[0]);
    text.Add("\n");
}

void AddSizeLine(TextBuffer& text, const LutTable& table) {
    text.Add(table.is3D ? "LUT_3D_SIZE " : "LUT_1D_SIZE ");
    text.AddCount(table.size);
    text.Add("\n");
}

void AddDomainLines(TextBuffer& text, const LutTable& table) {
    const float* bounds[2] = {table.domainMin, table.domainMax};
    const char* keywords[2] = {"DOMAIN_MIN ", "DOMAIN_MAX "};
    for (int line = 0; line < 2; ++line) {
        text.Add(keywords[line]);
        text.AddRow(bounds[line]);
    }
}

bool IsWritableCubeTable(const LutTable& table) {
    return !table.IsEmpty() && table.size >= 2 && (table.channels == 3 || table.channels == 4);
}

} // namespace

bool WriteCubeLut(const LutToWrite& lut, ByteSink& out) {
    const LutTable& table = lut.table;
    if (!IsWritableCubeTable(table) || !table.is3D || !lut.shaper.IsEmpty())
        return false;
    TextBuffer text(out);
    AddCommentNote(text);
    AddSizeLine(text, table);
    if (!table.HasUnitDomain())
        AddDomainLines(text, table);
    return AddRows(text, table) && text.Flush();
}

bool WriteResolveCubeLut(const LutToWrite& lut, ByteSink& out) {
    const LutTable& shaper = lut.shaper;
    const LutTable& table = lut.table;
    if (!IsWritableCubeTable(table))
        return false;
    const bool hasShaper = !shaper.IsEmpty();
    if (hasShaper && (!table.is3D || shaper.is3D || !IsWritableCubeTable(shaper) ||
                      !shaper.HasUniformDomain() || !table.HasUniformDomain()))
        return false;

    TextBuffer text(out);
    AddCommentNote(text);
    if (hasShaper) {
        AddSizeLine(text, shaper);
        AddRangeLine(text, "LUT_1D_INPUT_RANGE", shaper);
        AddSizeLine(text, table);
        AddRangeLine(text, "LUT_3D_INPUT_RANGE", table);
        return AddRows(text, shaper) && AddRows(text, table) && text.Flush();
    }
    AddSizeLine(text, table);
    if (!table.HasUnitDomain()) {
        if (table.HasUniformDomain())
            AddRangeLine(text, table.is3D ? "LUT_3D_INPUT_RANGE" : "LUT_1D_INPUT_RANGE", table);
        else
            AddDomainLines(text, table);
    }
    return AddRows(text, table) && text.Flush();
}

bool WriteSpi1dLut(const LutToWrite& lut, ByteSink& out) {
    const LutTable& table = lut.table;
    if (!IsWritableCubeTable(table) || table.is3D || !lut.shaper.IsEmpty() ||
        !table.HasUniformDomain())
        return false;
    TextBuffer text(out);
    text.Add("Version 1\nFrom ");
    text.AddValue(table.domainMin[0]);
    text.Add(" ");
    text.AddValue(table.domainMax[0]);
    text.Add("\nLength ");
    text.AddCount(table.size);
    text.Add("\nComponents 3\n{\n");
    for (uint32_t i = 0; i < table.size; ++i) {
        text.Add("    ");
        text.AddRow(table.Entry(i));
        if (!text.FlushIfFull())
            return false;
    }
    text.Add("}\n");
    return text.Flush();
}

bool WriteSpi3dLut(const LutToWrite& lut, ByteSink& out) {
    const LutTable& table = lut.table;
    if (!IsWritableCubeTable(table) || !table.is3D || !lut.shaper.IsEmpty() ||
        !table.HasUnitDomain())
        return false;
    const uint32_t n = table.size;
    TextBuffer text(out);
    text.Add("SPILUT 1.0\n3 3\n");
    for (int axis = 0; axis < 3; ++axis) {
        text.AddCount(n);
        text.Add(axis < 2 ? " " : "\n");
    }
    // Each line names its node, so the order is free; blue fastest is the usual one.
    for (uint32_t r = 0; r < n; ++r)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t b = 0; b < n; ++b) {
                const uint32_t node[3] = {r, g, b};
                for (const uint32_t index : node) {
                    text.AddCount(index);
                    text.Add(" ");
                }
                text.AddRow(table.Entry((static_cast<uint64_t>(b) * n + g) * n + r));
                if (!text.FlushIfFull())
                    return false;
            }
    return text.Flush();
}

namespace {

// The shortest decimal that reads back as the same double, never with an exponent.
void AppendDecimal(std::string& text, double value) {
    if (!std::isfinite(value))
        value = 0.0;
    char digits[400];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value + 0.0, std::chars_format::fixed);
    text.append(digits, result.ptr);
}

void AppendTriple(std::string& text, const char* tag, const double values[3]) {
    text += "        <";
    text += tag;
    text += '>';
    for (int c = 0; c < 3; ++c) {
        if (c > 0)
            text += ' ';
        AppendDecimal(text, values[c]);
    }
    text += "</";
    text += tag;
    text += ">\n";
}

void AppendEscaped(std::string& text, std::string_view raw) {
    for (const char c : raw) {
        switch (c) {
        case '&':
            text += "&amp;";
            break;
        case '<':
            text += "&lt;";
            break;
        case '>':
            text += "&gt;";
            break;
        case '"':
            text += "&quot;";
            break;
        default:
            text += c;
            break;
        }
    }
}

} // namespace

bool WriteColorCorrection(const CdlValues& cdl, std::string_view id, ByteSink& out) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<ColorCorrection id=\"";
    AppendEscaped(text, id);
    text += "\">\n    <Description>";
    text += kWrittenByNote;
    text += "</Description>\n    <SOPNode>\n";
    AppendTriple(text, "Slope", cdl.slope);
    AppendTriple(text, "Offset", cdl.offset);
    AppendTriple(text, "Power", cdl.power);
    text += "    </SOPNode>\n"
            "    <SatNode>\n"
            "        <Saturation>1</Saturation>\n"
            "    </SatNode>\n"
            "</ColorCorrection>\n";
    return out.Append(text.data(), text.size());
}
