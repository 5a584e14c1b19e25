#include "foundation/vx_string.h"
#include "lut/lut.h"
#include "lut/lut_formats.h"
#include "lut/lut_text.h"
#include "platform/ascii.h"

#include <algorithm>
#include <cstring>
#include <new>

// 3DL mesh files: integer lattices with blue varying fastest, an optional
// header giving size and bit depth, and an optional line of ascending input
// code values. Uneven code values become a 1D pre-LUT that maps each code
// value onto the texture coordinate of its lattice node.

namespace {

constexpr uint32_t kLargestShaperCount = 256;
constexpr uint32_t kSmallestShaperCount = 4;
// Input codes of up to 16 bits, as compositing tools write them.
constexpr uint32_t kLargestShaperCode = 65536;
constexpr uint32_t kLargestAccumulatedCode = 4096;
constexpr uint32_t kLargestCommentSize = 256;
constexpr uint32_t kLargestEntriesCount = 128;
constexpr uint32_t kLargestInputBits = 7;
constexpr uint32_t kLargestUpsampledSize = 128;

// One %u conversion as the C library does it: blanks, an optional sign and
// decimal digits converted as strtoul does on a 64-bit unsigned long (a value
// beyond its range gives its largest value whatever the sign, a minus sign
// negates modulo 2^64), then cut to 32 bits.
bool ScanUnsigned(const char*& p, const char* end, uint32_t& out) {
    while (p < end && ascii::IsCSpace(*p)) {
        ++p;
    }
    const char* q = p;
    bool negative = false;
    if (q < end && (*q == '+' || *q == '-')) {
        negative = *q == '-';
        ++q;
    }
    if (q == end || !ascii::IsDigit(*q)) {
        return false;
    }
    const char* digits = q;
    uint64_t value = 0;
    for (; q < end && ascii::IsDigit(*q); ++q) {
        value = value * 10 + uint64_t(*q - '0');
    }
    p = q;
    bool overflow = false;
    // Up to 19 digits stay within 64 bits; more are read again with care.
    if (q - digits > 19) {
        value = 0;
        for (const char* d = digits; d < q; ++d) {
            const uint64_t digit = uint64_t(*d - '0');
            overflow = overflow || value > (UINT64_MAX - digit) / 10;
            value = value * 10 + digit;
        }
    }
    if (overflow) {
        out = 0xFFFFFFFFu;
        return true;
    }
    out = static_cast<uint32_t>(negative ? uint64_t(0) - value : value);
    return true;
}

// Conversions of " %u %u %u %u " over one line.
int ScanIntegers(const char* line, size_t length, uint32_t values[4]) {
    const char* p = line;
    const char* end = line + length;
    int count = 0;
    while (count < 4 && ScanUnsigned(p, end, values[count])) {
        ++count;
    }
    return count;
}

uint32_t SmallestPowerOfTwoNotBelow(uint32_t value) {
    uint64_t p = 1;
    while (p < value) {
        p <<= 1;
    }
    return p > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(p);
}

// Splits at spaces and tabs; fills values (up to the largest count) and
// reports whether every token is an ascending unsigned decimal integer.
bool ParseShaperValues(const char* line, size_t length, uint32_t* values, uint32_t& count) {
    const char* p = line;
    const char* end = line + length;
    count = 0;
    uint64_t previous = 0;
    while (true) {
        while (p < end && ascii::IsBlank(*p)) {
            ++p;
        }
        if (p == end) {
            return true;
        }
        uint64_t value = 0;
        for (; p < end && !ascii::IsBlank(*p); ++p) {
            if (!ascii::IsDigit(*p)) {
                return false;
            }
            value = value > 0xFFFFFFFFull ? value : value * 10 + uint64_t(*p - '0');
        }
        if (value > 0xFFFFFFFFull) {
            value = 0xFFFFFFFFull;
        }
        if (count > 0 && value < previous) {
            return false;
        }
        if (count < kLargestShaperCount) {
            values[count] = static_cast<uint32_t>(value);
        }
        previous = value;
        ++count;
    }
}

bool IsEvenShaper(const uint32_t* values, uint32_t count, uint32_t codeRange) {
    const double step = double(codeRange - 1) / double(count - 1);
    for (uint32_t i = 0; i < count; ++i) {
        if (double(i) * step - double(values[i]) > 1.0) {
            return false;
        }
    }
    return true;
}

// Texture coordinates of the lattice nodes that a shaper addresses: node k of
// an n-point lattice sampled as m texels lies at (k (m - 1)/(n - 1) + 0.5)/m,
// where upsampling has moved it; without upsampling that is (k + 0.5)/n.
struct NodeCoordinates {
    float first;
    float step;
};

NodeCoordinates ShaperNodeCoordinates(uint32_t count, bool upsample) {
    const uint32_t texels = upsample ? UpsampledSize(count, kLargestUpsampledSize) : count;
    const float cell = 1.0f / static_cast<float>(texels);
    // An axis that upsampling leaves alone steps by the float 1/n, as it always did.
    if (texels == count)
        return {0.5f * cell, cell};
    const double step = double(texels - 1) / (double(count - 1) * texels);
    return {0.5f * cell, static_cast<float>(step)};
}

// Maps code value v_k to the coordinate of node k, linearly between successive
// code values; a repeated code value skips a whole step. Up to 12-bit codes the
// coordinate grows in float steps, as it always has; over the 65536 entries of
// 16-bit codes such steps would drift by a code, so there each entry's
// coordinate is computed from the node it follows.
void FillShaperPreLut(float* entries, uint32_t codeRange, const uint32_t* values, uint32_t count,
                      NodeCoordinates nodes) {
    const bool exact = codeRange > kLargestAccumulatedCode;
    const float step = nodes.step;
    float coordinate = nodes.first;
    auto at = [&](double position) {
        return static_cast<float>(double(nodes.first) + double(step) * position);
    };
    auto write = [&](uint32_t e) {
        float* entry = entries + size_t(e) * 4;
        entry[0] = coordinate;
        entry[1] = coordinate;
        entry[2] = coordinate;
        entry[3] = 1.0f;
    };
    for (uint32_t e = 0; e < values[0]; ++e)
        write(e);
    for (uint32_t k = 1; k < count; ++k) {
        if (values[k] == values[k - 1]) {
            coordinate += step;
            continue;
        }
        const uint32_t span = values[k] - values[k - 1];
        const float increment = step / static_cast<float>(span);
        for (uint32_t e = values[k - 1]; e < values[k]; ++e) {
            if (exact)
                coordinate = at(double(k - 1) + double(e - values[k - 1]) / span);
            write(e);
            coordinate += increment;
        }
    }
    if (exact)
        coordinate = at(count - 1);
    for (uint32_t e = values[count - 1]; e < codeRange; ++e)
        write(e);
}

} // namespace

bool Read3dlShaperLine(CVxLUT& lut, const char* line, size_t length, bool upsample, bool lenient) {
    uint32_t values[kLargestShaperCount];
    uint32_t count = 0;
    if (!ParseShaperValues(line, length, values, count)) {
        return lenient;
    }
    if (count < kSmallestShaperCount || count > kLargestShaperCount) {
        return false;
    }
    const uint32_t largest = values[count - 1];
    const uint32_t codeRange = largest <= 1 ? 1 : SmallestPowerOfTwoNotBelow(largest);
    if (codeRange > kLargestShaperCode) {
        return false;
    }
    if (IsEvenShaper(values, count, codeRange)) {
        return lut.Create(count, true);
    }
    lut.DeletePreLUT();
    lut.m_preLUT = new (std::nothrow) CVxLUT;
    if (lut.m_preLUT == nullptr) {
        return false;
    }
    if (!lut.m_preLUT->Create(codeRange, false)) {
        lut.DeletePreLUT();
        return false;
    }
    FillShaperPreLut(lut.m_preLUT->m_data, codeRange, values, count,
                     ShaperNodeCoordinates(count, upsample));
    return lut.Create(count, true);
}

namespace {

class MeshReader {
public:
    MeshReader(CVxLUT& lut, bool upsample, EDimensionRequirement requirement)
        : m_lut(lut), m_upsample(upsample), m_requirement(requirement) {}

    EReaderResult Read(const uint8_t* data, size_t size);

private:
    enum class ELineOutcome : uint8_t { eContinue, eEnd, eFail, eFallback };

    ELineOutcome Comment(const char* text, size_t length);
    ELineOutcome HeaderOrShaper(const char* line, size_t length);
    ELineOutcome Data(const char* line, size_t length);
    // The lattice rows from the current line on, on several cores; leaves
    // the lines at the first line after them.
    ELineOutcome DataOnCores(TextLines& lines);
    void StoreRow(size_t row, const uint32_t rgb[3]);
    void StoreEntry(float* entry, const uint32_t rgb[3]) const;
    EReaderResult Finish();
    EReaderResult Discard(EReaderResult result);
    bool CreateLattice(uint32_t size);

    CVxLUT& m_lut;
    bool m_upsample;
    EDimensionRequirement m_requirement;
    float m_scale = 1.0f;
    uint32_t m_largest = 0;
    size_t m_latticeFloats = 0;
    size_t m_stored = 0;
    uint32_t m_blue = 0;
    uint32_t m_green = 0;
    uint32_t m_red = 0;
    bool m_splitTried = false;
};

EReaderResult MeshReader::Read(const uint8_t* data, size_t size) {
    TextLines lines(data, size);
    while (lines.Next()) {
        const char* line = lines.Begin();
        const size_t length = lines.Length();
        if (length == 1 && line[0] == '#') {
            continue;
        }
        ELineOutcome outcome;
        if (length > 0 && line[0] == '#') {
            if (m_latticeFloats != 0) {
                continue;
            }
            outcome = Comment(line + 1, length - 1);
        } else if (m_latticeFloats == 0) {
            outcome = HeaderOrShaper(line, length);
        } else if (!m_splitTried && WorthSplitting(lines)) {
            // Once: a later try would start at the same line.
            m_splitTried = true;
            outcome = DataOnCores(lines);
        } else {
            outcome = Data(line, length);
        }
        if (outcome == ELineOutcome::eEnd) {
            break;
        }
        if (outcome == ELineOutcome::eFail) {
            return Discard(EReaderResult::eFailed);
        }
        if (outcome == ELineOutcome::eFallback) {
            return Discard(EReaderResult::eNotRecognised);
        }
    }
    return Finish();
}

bool MeshReader::CreateLattice(uint32_t size) {
    if (!m_lut.Create(size, true)) {
        return false;
    }
    m_latticeFloats = m_lut.FloatCount();
    return true;
}

MeshReader::ELineOutcome MeshReader::Comment(const char* text, size_t length) {
    uint32_t a = 0;
    uint32_t b = 0;
    uint32_t c = 0;
    if (ScanLine(text, length, " LUT_SIZE : %u %u %u ", &a, &b, &c) == 3) {
        if (m_requirement == EDimensionRequirement::eOnly1D || a != b || b != c ||
            a > kLargestCommentSize || !CreateLattice(a)) {
            return ELineOutcome::eFail;
        }
        m_scale = 1.0f / 1023.0f;
        return ELineOutcome::eContinue;
    }
    if (ScanLine(text, length, " entries = %u ", &a) == 1) {
        if (m_requirement == EDimensionRequirement::eOnly1D || a > kLargestEntriesCount ||
            !IsPowerOfTwo(a) || !CreateLattice(a + 1)) {
            return ELineOutcome::eFail;
        }
        m_scale = 1.0f / 1023.0f;
        return ELineOutcome::eContinue;
    }
    const std::string_view values = CVxString::Trim({text, length});
    text = values.data();
    length = values.size();
    if (length == 0 || !ascii::IsDigit(text[0])) {
        return ELineOutcome::eContinue;
    }
    if (!Read3dlShaperLine(m_lut, text, length, m_upsample, true)) {
        return ELineOutcome::eFail;
    }
    m_latticeFloats = m_lut.FloatCount();
    return ELineOutcome::eContinue;
}

MeshReader::ELineOutcome MeshReader::HeaderOrShaper(const char* line, size_t length) {
    char word[16] = {0};
    if (ScanLine(line, length, " 3DME%15s ", word) == 1) {
        if (std::strcmp(word, "SH") != 0 && std::strcmp(word, "SHHW") != 0) {
            return ELineOutcome::eEnd;
        }
        return m_requirement == EDimensionRequirement::eOnly1D ? ELineOutcome::eFail
                                                               : ELineOutcome::eContinue;
    }
    uint32_t inputBits = 0;
    uint32_t outputBits = 0;
    if (ScanLine(line, length, " Mesh %u %u", &inputBits, &outputBits) == 2) {
        if (inputBits > kLargestInputBits || !CreateLattice((1u << inputBits) + 1)) {
            return ELineOutcome::eFail;
        }
        const double levels =
            outputBits >= 64 ? 1.8446744073709552e19 : double(uint64_t(1) << outputBits) - 1.0;
        m_scale = 1.0f / static_cast<float>(levels);
        return ELineOutcome::eContinue;
    }
    if (!Read3dlShaperLine(m_lut, line, length, m_upsample, false)) {
        return ELineOutcome::eFallback;
    }
    m_latticeFloats = m_lut.FloatCount();
    return ELineOutcome::eContinue;
}

MeshReader::ELineOutcome MeshReader::Data(const char* line, size_t length) {
    uint32_t rgb[4];
    if (ScanIntegers(line, length, rgb) != 3) {
        if (m_stored != 0 || m_lut.m_preLUT != nullptr) {
            return ELineOutcome::eEnd;
        }
        return Read3dlShaperLine(m_lut, line, length, m_upsample, false) ? ELineOutcome::eContinue
                                                                         : ELineOutcome::eFallback;
    }
    for (int k = 0; k < 3; ++k) {
        m_largest = rgb[k] > m_largest ? rgb[k] : m_largest;
    }
    const uint32_t n = m_lut.m_size;
    StoreEntry(m_lut.m_data + ((size_t(m_blue) * n + m_green) * n + m_red) * 4, rgb);
    ++m_stored;
    if (++m_blue < n) {
        return ELineOutcome::eContinue;
    }
    m_blue = 0;
    if (++m_green < n) {
        return ELineOutcome::eContinue;
    }
    m_green = 0;
    return ++m_red < n ? ELineOutcome::eContinue : ELineOutcome::eEnd;
}

void MeshReader::StoreEntry(float* entry, const uint32_t rgb[3]) const {
    entry[0] = static_cast<float>(rgb[0]) * m_scale;
    entry[1] = static_cast<float>(rgb[1]) * m_scale;
    entry[2] = static_cast<float>(rgb[2]) * m_scale;
    entry[3] = 1.0f;
}

// Row k of the file is node (k / n², k / n % n, k % n) in red, green, blue.
void MeshReader::StoreRow(size_t row, const uint32_t rgb[3]) {
    const size_t n = m_lut.m_size;
    StoreEntry(m_lut.m_data + (((row % n) * n + row / n % n) * n + row / n / n) * 4, rgb);
}

bool IsLatticeRow(const char* line, size_t length, uint32_t rgb[3]) {
    uint32_t values[4];
    if (length == 0 || line[0] == '#' || ScanIntegers(line, length, values) != 3)
        return false;
    std::copy(values, values + 3, rgb);
    return true;
}

MeshReader::ELineOutcome MeshReader::DataOnCores(TextLines& lines) {
    const size_t n = m_lut.m_size;
    const size_t first = m_stored;
    // One largest value per band, kept apart until the bands that count are known.
    uint32_t largest[kMostBands] = {};
    size_t rows = 0;
    uint32_t bands = 0;
    const char* stop = ReadRowsAtOnce<uint32_t>(
        lines, n * n * n - first, NoPlainRow<uint32_t>, IsLatticeRow,
        [&](uint32_t band, size_t row, const uint32_t* rgb) {
            largest[band] = std::max({largest[band], rgb[0], rgb[1], rgb[2]});
            StoreRow(first + row, rgb);
        },
        rows, bands);
    for (uint32_t b = 0; b < bands; ++b)
        m_largest = std::max(m_largest, largest[b]);
    m_stored += rows;
    m_blue = uint32_t(m_stored % n);
    m_green = uint32_t(m_stored / n % n);
    m_red = uint32_t(m_stored / n / n);
    lines = TextLines(reinterpret_cast<const uint8_t*>(stop), size_t(lines.End() - stop));
    return m_stored == n * n * n ? ELineOutcome::eEnd : ELineOutcome::eContinue;
}

EReaderResult MeshReader::Finish() {
    if (m_latticeFloats == 0) {
        return Discard(EReaderResult::eNotRecognised);
    }
    const size_t n = m_lut.m_size;
    if (m_stored < n * n * n) {
        return Discard(EReaderResult::eFailed);
    }
    if (m_scale > 0.9f) {
        uint64_t levels = 1024;
        while (m_largest != 0 && levels <= m_largest) {
            levels <<= 1;
        }
        const float scale = 1.0f / static_cast<float>(levels - 1);
        const size_t floats = m_lut.FloatCount();
        for (size_t k = 0; k < floats; k += 4) {
            m_lut.m_data[k] *= scale;
            m_lut.m_data[k + 1] *= scale;
            m_lut.m_data[k + 2] *= scale;
        }
    }
    if (m_upsample && !m_lut.UpsampleToPowerOfTwo(kLargestUpsampledSize)) {
        return Discard(EReaderResult::eFailed);
    }
    if (m_lut.m_preLUT != nullptr) {
        const float half = 0.5f / static_cast<float>(m_lut.m_size);
        m_lut.SetDomainUniform(half, 1.0f - half);
    } else {
        m_lut.SetDomainUniform(0.0f, 1.0f);
    }
    return EReaderResult::eLoaded;
}

EReaderResult MeshReader::Discard(EReaderResult result) {
    m_lut.DeletePreLUT();
    m_lut.Clear();
    return result;
}

} // namespace

EReaderResult Read3dlLut(CVxLUT& lut, const uint8_t* data, size_t size, bool upsample,
                         EDimensionRequirement requirement) {
    MeshReader reader(lut, upsample, requirement);
    return reader.Read(data, size);
}
