#include "lut/lut.h"
#include "lut/lut_formats.h"
#include "lut/lut_text.h"
#include "platform/ascii.h"

#include <cfloat>
#include <cmath>
#include <new>
#include <string_view>
#include <vector>

// Discreet 1D LUTs, as Flame, Smoke and Lustre write them: a "LUT: tables
// length [depth]" header, then each table's integer values one per line. The
// entries span the whole input range: 8-, 10- and 12-bit codes, or for 65536
// entries the half floats whose bits are the entry's index.

namespace {

constexpr uint32_t kLargestValue = 65535;
constexpr uint32_t kHalfDomainLength = 65536;
constexpr uint16_t kHalfOne = 0x3C00;
// A half-float input table is sampled into a table over [0, 1] with this many
// entries: every node of a lattice of 2^k + 1 points falls on an entry, where
// the table reads exactly what the file gives there.
constexpr uint32_t kHalfDomainSamples = 32769;
// A value token longer than this is no 16-bit integer.
constexpr size_t kLongestValueToken = 16;

enum class EOutputKind : uint8_t { eInteger, eHalf, eFloat };

struct OutputDepth {
    EOutputKind kind = EOutputKind::eInteger;
    // The largest code of integer outputs.
    float largest = 0.0f;
};

OutputDepth IntegerDepth(uint32_t bits) {
    return {EOutputKind::eInteger, static_cast<float>((1u << bits) - 1)};
}

struct Header {
    uint32_t tables = 0;
    uint32_t length = 0;
    bool hasDepth = false;
    OutputDepth depth;
};

bool ParseDigits(std::string_view token, uint32_t& value) {
    if (token.empty() || token.size() > kLongestValueToken)
        return false;
    uint64_t result = 0;
    for (char c : token) {
        if (!ascii::IsDigit(c))
            return false;
        result = result * 10 + uint64_t(c - '0');
    }
    if (result > 0xFFFFFFFFu)
        return false;
    value = static_cast<uint32_t>(result);
    return true;
}

// The bits of a table length (or of a depth token, a count of output codes).
uint32_t BitsOfLength(uint32_t length) {
    switch (length) {
    case 256:
        return 8;
    case 1024:
        return 10;
    case 4096:
        return 12;
    case 65536:
        return 16;
    default:
        return 0;
    }
}

// A count of output codes, with an "f" for half floats when it is 65536.
bool ParseDepthToken(std::string_view token, OutputDepth& depth) {
    const bool isFloat = !token.empty() && ascii::Lower(token.back()) == 'f';
    uint32_t codes = 0;
    if (!ParseDigits(isFloat ? token.substr(0, token.size() - 1) : token, codes))
        return false;
    const uint32_t bits = BitsOfLength(codes);
    if (bits == 0)
        return false;
    depth = isFloat && codes == kHalfDomainLength ? OutputDepth{EOutputKind::eHalf, 0.0f}
                                                  : IntegerDepth(bits);
    return true;
}

std::string_view NextToken(std::string_view& rest) {
    size_t start = 0;
    while (start < rest.size() && ascii::IsBlank(rest[start]))
        ++start;
    size_t end = start;
    while (end < rest.size() && !ascii::IsBlank(rest[end]))
        ++end;
    const std::string_view token = rest.substr(start, end - start);
    rest = rest.substr(end);
    return token;
}

enum class EHeader : uint8_t { eNotDiscreet, eDiscreet, eBadDepth };

// "LUT:" in any case and a blank, a table count of 1, 3 or 4 and a length of
// 256, 1024, 4096 or 65536; anything else is another format's header. A third
// token must be an output depth.
EHeader ParseHeader(std::string_view line, Header& header) {
    if (line.size() < 5 || !ascii::EqualsNoCase(line.substr(0, 4), "LUT:") ||
        !ascii::IsBlank(line[4]))
        return EHeader::eNotDiscreet;
    std::string_view rest = line.substr(5);
    if (!ParseDigits(NextToken(rest), header.tables) ||
        !ParseDigits(NextToken(rest), header.length))
        return EHeader::eNotDiscreet;
    if ((header.tables != 1 && header.tables != 3 && header.tables != 4) ||
        BitsOfLength(header.length) == 0)
        return EHeader::eNotDiscreet;
    const std::string_view depth = NextToken(rest);
    header.hasDepth = !depth.empty();
    if (header.hasDepth && !ParseDepthToken(depth, header.depth))
        return EHeader::eBadDepth;
    return EHeader::eDiscreet;
}

// The output depth that the first "to" of a file name announces ("logto12",
// "12to16f"), if any.
bool DepthFromFileName(std::string_view name, OutputDepth& depth) {
    size_t at = 0;
    while (at + 1 < name.size() &&
           !(ascii::Lower(name[at]) == 't' && ascii::Lower(name[at + 1]) == 'o'))
        ++at;
    if (at + 1 >= name.size())
        return false;
    const std::string_view rest = name.substr(at + 2);
    auto startsWith = [rest](std::string_view prefix) {
        return rest.size() >= prefix.size() &&
               ascii::EqualsNoCase(rest.substr(0, prefix.size()), prefix);
    };
    if (startsWith("8"))
        depth = IntegerDepth(8);
    else if (startsWith("10"))
        depth = IntegerDepth(10);
    else if (startsWith("12"))
        depth = IntegerDepth(12);
    else if (startsWith("16f"))
        depth = {EOutputKind::eHalf, 0.0f};
    else if (startsWith("16"))
        depth = IntegerDepth(16);
    else if (startsWith("32f"))
        depth = {EOutputKind::eFloat, 0.0f};
    else
        return false;
    return true;
}

float HalfToFloat(uint16_t bits) {
    const int exponent = bits >> 10 & 0x1F;
    const int mantissa = bits & 0x3FF;
    const float sign = (bits & 0x8000) != 0 ? -1.0f : 1.0f;
    if (exponent == 0x1F)
        return mantissa != 0 ? NAN : sign * INFINITY;
    if (exponent == 0)
        return sign * std::ldexp(static_cast<float>(mantissa), -24);
    return sign * std::ldexp(static_cast<float>(mantissa + 1024), exponent - 25);
}

// A table value as an output: codes over the depth's largest code, the bits
// of a half float, or the number itself for 32-bit float outputs. A NaN
// becomes 0 and an infinity the largest float of its sign.
float OutputOf(uint32_t value, const OutputDepth& depth) {
    switch (depth.kind) {
    case EOutputKind::eInteger:
        return static_cast<float>(value) / depth.largest;
    case EOutputKind::eFloat:
        return static_cast<float>(value);
    case EOutputKind::eHalf:
        break;
    }
    const float half = HalfToFloat(static_cast<uint16_t>(value));
    if (std::isnan(half))
        return 0.0f;
    if (std::isinf(half))
        return half > 0 ? FLT_MAX : -FLT_MAX;
    return half;
}

// The values of every table, one per line: the first token before a "#", a
// space or a tab, an integer up to 65535. Lines without one are passed over.
bool ReadValues(TextLines& lines, std::vector<uint32_t>& values) {
    for (uint32_t& value : values) {
        std::string_view token;
        while (token.empty()) {
            if (!lines.Next())
                return false;
            const std::string_view line(lines.Begin(), lines.Length());
            token = line.substr(0, line.find_first_of("# \t"));
        }
        if (!ParseDigits(token, value) || value > kLargestValue)
            return false;
    }
    return true;
}

// Entry i of an integer-coded table stands for the input i / (length - 1).
void FillCodeTable(CVxLUT& lut, const std::vector<uint32_t>& values, const Header& header) {
    for (uint32_t c = 0; c < 3; ++c) {
        const uint32_t* table = values.data() + size_t(c < header.tables ? c : 0) * header.length;
        for (uint32_t i = 0; i < header.length; ++i)
            lut.m_data[size_t(i) * 4 + c] = OutputOf(table[i], header.depth);
    }
}

// Entry i of a half-float input table stands for the half whose bits are i.
// Between two successive halfs the outputs are interpolated linearly; the
// table over [0, 1] takes that line at each of its entries.
void FillHalfDomainTable(CVxLUT& lut, const std::vector<uint32_t>& values, const Header& header) {
    for (uint32_t c = 0; c < 3; ++c) {
        const uint32_t* table = values.data() + size_t(c < header.tables ? c : 0) * header.length;
        uint16_t below = 0;
        for (uint32_t j = 0; j < kHalfDomainSamples; ++j) {
            const float x = static_cast<float>(j) / static_cast<float>(kHalfDomainSamples - 1);
            while (below < kHalfOne && HalfToFloat(static_cast<uint16_t>(below + 1)) <= x)
                ++below;
            const float low = HalfToFloat(below);
            const float high = HalfToFloat(static_cast<uint16_t>(below + 1));
            const float fraction = (x - low) / (high - low);
            const float a = OutputOf(table[below], header.depth);
            const float b = OutputOf(table[below + 1], header.depth);
            lut.m_data[size_t(j) * 4 + c] = (a - b) * (1.0f - fraction) + b;
        }
    }
}

EReaderResult Fail(CVxLUT& lut) {
    lut.DeletePreLUT();
    lut.Clear();
    return EReaderResult::eFailed;
}

} // namespace

EReaderResult ReadDiscreet1dLut(CVxLUT& lut, const uint8_t* data, size_t size, bool,
                                EDimensionRequirement requirement, std::string_view baseName) {
    TextLines lines(data, size);
    bool found = false;
    while (!found && lines.Next())
        found = lines.Length() > 0 && lines.Begin()[0] != '#';
    Header header;
    const EHeader kind =
        found ? ParseHeader({lines.Begin(), lines.Length()}, header) : EHeader::eNotDiscreet;
    if (kind == EHeader::eNotDiscreet)
        return EReaderResult::eNotRecognised;
    if (kind == EHeader::eBadDepth || requirement == EDimensionRequirement::eOnly3D)
        return Fail(lut);
    if (!header.hasDepth && !DepthFromFileName(baseName, header.depth))
        header.depth = IntegerDepth(BitsOfLength(header.length));

    std::vector<uint32_t> values;
    try {
        values.resize(size_t(header.tables) * header.length);
    } catch (const std::bad_alloc&) {
        return Fail(lut);
    }
    if (!ReadValues(lines, values))
        return Fail(lut);
    const bool halfDomain = header.length == kHalfDomainLength;
    if (!lut.Create(halfDomain ? kHalfDomainSamples : header.length, false))
        return Fail(lut);
    if (halfDomain)
        FillHalfDomainTable(lut, values, header);
    else
        FillCodeTable(lut, values, header);
    for (uint32_t i = 0; i < lut.m_size; ++i)
        lut.m_data[size_t(i) * 4 + 3] = 1.0f;
    lut.DeletePreLUT();
    lut.SetDomainUniform(0.0f, 1.0f);
    return EReaderResult::eLoaded;
}
