#include "lut/lut_text.h"

#include "foundation/parallel_bands.h"
#include "foundation/vx_string.h"
#include "platform/ascii.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace {

// A NUL-terminated copy of one line for the C library's scanners. Short lines
// stay on the stack; long ones share one buffer per thread that only grows,
// so that no line costs an allocation once the longest has been seen.
class LineCopy {
public:
    LineCopy(const char* line, size_t length) {
        char* target = m_small;
        if (length >= sizeof(m_small)) {
            static thread_local std::vector<char> large;
            if (large.size() <= length)
                large.resize(length + 1);
            target = large.data();
        }
        std::memcpy(target, line, length);
        target[length] = 0;
        m_text = target;
    }
    const char* Text() const { return m_text; }

private:
    char m_small[512];
    const char* m_text;
};

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;
constexpr uint64_t kLargestExactMantissa = uint64_t(1) << 53;
constexpr int kMostMantissaDigits = 19;
// Bits of a double's mantissa that a float drops.
constexpr uint64_t kDroppedBits = (uint64_t(1) << 29) - 1;
constexpr uint64_t kHalfFloatStep = uint64_t(1) << 28;

// A decimal number as an integer mantissa and a power of ten.
struct DecimalParts {
    uint64_t mantissa = 0;
    int exponent = 0;
    bool negative = false;
};

// Appends a run of digits to the mantissa and returns where it ends. A
// mantissa of more than 19 digits wraps, which the caller refuses by count.
inline const char* TakeDigits(const char* q, const char* end, uint64_t& mantissa) {
    for (; q < end && ascii::IsDigit(*q); ++q)
        mantissa = mantissa * 10 + uint64_t(*q - '0');
    return q;
}

inline const char* SkipZeros(const char* q, const char* end) {
    while (q < end && *q == '0')
        ++q;
    return q;
}

// [sign] digits [. digits] [e|E [sign] digits], ending the text or followed by
// a blank; false for anything else, or for more than 19 significant digits.
bool SplitDecimal(const char*& p, const char* end, DecimalParts& parts) {
    const char* q = p;
    if (q < end && (*q == '-' || *q == '+'))
        parts.negative = *q++ == '-';
    const char* integer = q;
    const char* significant = SkipZeros(q, end);
    q = TakeDigits(significant, end, parts.mantissa);
    size_t digits = size_t(q - significant);
    bool sawDigit = q != integer;
    if (q < end && *q == '.') {
        const char* fraction = ++q;
        // Zeros after the point count as digits only after a significant one.
        significant = parts.mantissa == 0 ? SkipZeros(q, end) : q;
        q = TakeDigits(significant, end, parts.mantissa);
        digits += size_t(q - significant);
        parts.exponent = -static_cast<int>(std::min<ptrdiff_t>(q - fraction, 100000));
        sawDigit = sawDigit || q != fraction;
    }
    if (!sawDigit || digits > kMostMantissaDigits)
        return false;
    if (q < end && (*q == 'e' || *q == 'E')) {
        ++q;
        const bool negativeExponent = q < end && *q == '-';
        if (q < end && (*q == '-' || *q == '+'))
            ++q;
        if (q == end || !ascii::IsDigit(*q))
            return false;
        int exponent = 0;
        for (; q < end && ascii::IsDigit(*q); ++q)
            exponent = exponent < 100000 ? exponent * 10 + (*q - '0') : exponent;
        parts.exponent += negativeExponent ? -exponent : exponent;
    }
    if (q < end && !ascii::IsBlank(*q))
        return false;
    p = q;
    return true;
}

// Reads one plain decimal number ([sign] digits [. digits] [e|E [sign] digits])
// that ends the line or is followed by a blank; from_chars gives it the bits
// that strtof gives. Everything else (infinities, NaNs, hexadecimal numbers,
// values out of range, a number run into other text) is left to the C library.
bool ParseDecimalFloat(const char*& p, const char* end, float& out) {
    // from_chars takes a '-' but no '+'; either sign must come before a digit or a dot.
    const char* number = *p == '+' ? p + 1 : p;
    const char* digits = number == p && *p == '-' ? p + 1 : number;
    if (digits == end || !(ascii::IsDigit(*digits) || *digits == '.'))
        return false;
    float value;
    const std::from_chars_result result = std::from_chars(number, end, value);
    if (result.ec != std::errc() || (result.ptr < end && !ascii::IsBlank(*result.ptr)))
        return false;
    out = value;
    p = result.ptr;
    return true;
}

// The float nearest to m * 10^exponent, m below 2^53 or 0, found without
// from_chars where that is exact: a mantissa of up to 53 bits and a power of
// ten of up to 22 are doubles, and their product or quotient is the double
// nearest to the number. Rounding that double to a float gives the float
// nearest to the number unless the double lies exactly halfway between two
// floats: those numbers, and all others, are left to from_chars (false).
bool RoundExactly(uint64_t mantissa, int exponent, bool negative, float& out) {
    if (mantissa == 0) {
        out = negative ? -0.0f : 0.0f;
        return true;
    }
    if (mantissa > kLargestExactMantissa || exponent < -kLargestExactPower ||
        exponent > kLargestExactPower)
        return false;
    const double value = exponent < 0 ? double(mantissa) / kExactPowersOfTen[-exponent]
                                      : double(mantissa) * kExactPowersOfTen[exponent];
    // Every such value lies within the normal floats, whose halfway points are
    // the doubles with these dropped bits.
    if ((std::bit_cast<uint64_t>(value) & kDroppedBits) == kHalfFloatStep)
        return false;
    const float rounded = static_cast<float>(value);
    out = negative ? -rounded : rounded;
    return true;
}

// Any number of SplitDecimal's form.
bool ParseDecimalInParts(const char*& p, const char* end, float& out) {
    const char* q = p;
    DecimalParts parts;
    if (!SplitDecimal(q, end, parts) ||
        !RoundExactly(parts.mantissa, parts.exponent, parts.negative, out))
        return false;
    p = q;
    return true;
}

// The numbers most LUT files hold: [sign] digits [. digits] with 19 digits at
// most (so that leading zeros need no care), read in one pass; q moves to the
// character after them, which the caller judges. eOther for every other form,
// eLeft for a number of this form that is left to the C library.
enum class EPlainNumber { eRead, eOther, eLeft };

constexpr uint64_t kPowersOfTenUpTo8[9] = {1,      10,      100,      1000,     10000,
                                           100000, 1000000, 10000000, 100000000};

// The number that eight digit values make, the first in the lowest byte.
inline uint32_t EightDigitsValue(uint64_t digits) {
    digits = digits * 10 + (digits >> 8);
    return uint32_t(((digits & 0x000000FF000000FFull) * (100 + (1000000ull << 32)) +
                     ((digits >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32))) >>
                    32);
}

// Reads the run of up to eight digits at q with one load, as the fractions of
// LUT files are: appends them to mantissa and returns how many there were.
// Needs eight bytes before end and a little-endian machine; returns 0 without
// reading where either is missing, and the caller reads digit by digit.
inline size_t ReadEightDigitsAtOnce(const char* q, const char* end, uint64_t& mantissa) {
    if constexpr (std::endian::native != std::endian::little)
        return 0;
    if (end - q < 8)
        return 0;
    uint64_t chunk;
    std::memcpy(&chunk, q, sizeof chunk);
    // A byte holds a digit when, less '0', it is at most 9: adding 0x76 then
    // leaves its top bit clear. A carry out of a byte that is no digit can only
    // spoil the bytes after it, which are not counted.
    const uint64_t values = chunk ^ 0x3030303030303030ull;
    const uint64_t notDigits = (values | (values + 0x7676767676767676ull)) & 0x8080808080808080ull;
    const size_t count = notDigits == 0 ? 8 : size_t(std::countr_zero(notDigits)) / 8;
    if (count == 0)
        return 0;
    // The digits moved to the top bytes, below them zeros: the same number.
    mantissa = mantissa * kPowersOfTenUpTo8[count] + EightDigitsValue(values << (8 * (8 - count)));
    return count;
}

// Three values of one digit and six decimals between single spaces, the row
// that most cube writers print ("0.250000 1.000000 0.062500"), is read with
// one load a value, to the same floats as the general reading gives. False,
// out unchanged, for any other 26 characters at p (or a value that the
// general reading leaves to the C library).
constexpr size_t kSixDecimalRowLength = 26;

inline bool ReadSixDecimalValue(const char* p, float& out) {
    if constexpr (std::endian::native != std::endian::little)
        return false;
    uint64_t chunk;
    std::memcpy(&chunk, p, sizeof chunk);
    if (((chunk >> 8) & 0xFF) != '.')
        return false;
    // The point taken as a digit 0: the eight bytes then read as the number
    // whose second digit is 0, ten times the integer digit too much.
    const uint64_t values = (chunk ^ 0x3030303030303030ull) & ~0xFF00ull;
    if ((values | (values + 0x7676767676767676ull)) & 0x8080808080808080ull)
        return false;
    const uint64_t integer = values & 0xFF;
    return RoundExactly(EightDigitsValue(values) - integer * 9000000, -6, false, out);
}

inline bool ReadSixDecimalRow(const char* p, float out[3]) {
    float values[3];
    if (p[8] != ' ' || p[17] != ' ' || !ReadSixDecimalValue(p, values[0]) ||
        !ReadSixDecimalValue(p + 9, values[1]) || !ReadSixDecimalValue(p + 18, values[2]))
        return false;
    std::copy_n(values, 3, out);
    return true;
}

inline EPlainNumber ReadPlainNumber(const char*& q, const char* end, float& out) {
    const bool negative = q < end && *q == '-';
    if (q < end && (*q == '-' || *q == '+'))
        ++q;
    const char* integer = q;
    uint64_t mantissa = 0;
    for (; q < end && ascii::IsDigit(*q); ++q)
        mantissa = mantissa * 10 + uint64_t(*q - '0');
    size_t digits = size_t(q - integer);
    int exponent = 0;
    if (q < end && *q == '.') {
        const char* fraction = ++q;
        q += ReadEightDigitsAtOnce(q, end, mantissa);
        for (; q < end && ascii::IsDigit(*q); ++q)
            mantissa = mantissa * 10 + uint64_t(*q - '0');
        digits += size_t(q - fraction);
        exponent = -static_cast<int>(std::min<size_t>(size_t(q - fraction), 100000));
    }
    if (digits == 0 || digits > kMostMantissaDigits || (q < end && (*q == 'e' || *q == 'E')))
        return EPlainNumber::eOther;
    return RoundExactly(mantissa, exponent, negative, out) ? EPlainNumber::eRead
                                                           : EPlainNumber::eLeft;
}

} // namespace

bool ParseDecimalFloatExactly(const char*& p, const char* end, float& out) {
    const char* q = p;
    float value;
    switch (ReadPlainNumber(q, end, value)) {
    case EPlainNumber::eOther:
        return ParseDecimalInParts(p, end, out);
    case EPlainNumber::eLeft:
        return false;
    case EPlainNumber::eRead:
        break;
    }
    if (q < end && !ascii::IsBlank(*q))
        return false;
    out = value;
    p = q;
    return true;
}

const char* ScanPlainFloatRow(const char* p, const char* end, float out[3]) {
    if (size_t(end - p) > kSixDecimalRowLength && ascii::IsLineBreak(p[kSixDecimalRowLength]) &&
        ReadSixDecimalRow(p, out))
        return p + kSixDecimalRowLength;
    float values[3];
    for (float& value : values) {
        while (p < end && ascii::IsBlank(*p))
            ++p;
        if (ReadPlainNumber(p, end, value) != EPlainNumber::eRead ||
            (p < end && !ascii::IsBlankOrBreak(*p)))
            return nullptr;
    }
    while (p < end && ascii::IsBlank(*p))
        ++p;
    if (p < end && !ascii::IsLineBreak(*p))
        return nullptr;
    std::copy_n(values, 3, out);
    return p;
}

bool TextLines::Next() {
    while (m_next < m_end && ascii::IsLineBreak(*m_next))
        ++m_next;
    if (m_next >= m_end)
        return false;
    const char* start = m_next;
    // A return ends the line only before its feed, so it is searched for no
    // further: a text of feeds alone is then never searched to its end.
    const char* feed = NextOf('\n', m_nextFeed, start, m_end);
    const char* stop = std::min(feed, NextOf('\r', m_nextReturn, start, feed));
    m_next = stop;
    const std::string_view line = CVxString::Trim({start, static_cast<size_t>(stop - start)});
    m_line = line.data();
    m_length = line.size();
    return true;
}

const char* TextLines::NextOf(char c, const char*& found, const char* from,
                              const char* limit) const {
    if (!found || found < from) {
        const void* at = std::memchr(from, c, static_cast<size_t>(limit - from));
        found = at ? static_cast<const char*>(at) : limit;
    }
    return found;
}

bool TextLines::IsExactly(const char* text) const {
    const size_t length = std::strlen(text);
    return length == m_length && std::memcmp(m_line, text, length) == 0;
}

bool TextLines::StartsWith(const char* prefix, bool caseSensitive) const {
    const size_t length = std::strlen(prefix);
    if (length > m_length)
        return false;
    if (caseSensitive)
        return std::memcmp(m_line, prefix, length) == 0;
    for (size_t i = 0; i < length; ++i)
        if (ascii::Upper(m_line[i]) != ascii::Upper(prefix[i]))
            return false;
    return true;
}

int ScanLine(const char* line, size_t length, const char* format, ...) {
    LineCopy copy(line, length);
    va_list args;
    va_start(args, format);
    const int result = std::vsscanf(copy.Text(), format, args);
    va_end(args);
    return result < 0 ? 0 : result;
}

int ScanFloatTriple(const char* line, size_t length, float out[3]) {
    if (length == kSixDecimalRowLength && ReadSixDecimalRow(line, out))
        return 3;
    const char* p = line;
    const char* end = line + length;
    float values[3];
    int count = 0;
    for (; count < 3; ++count) {
        while (p < end && ascii::IsBlank(*p))
            ++p;
        if (p == end)
            break;
        if (!ParseDecimalFloatExactly(p, end, values[count]) &&
            !ParseDecimalFloat(p, end, values[count]))
            return ScanLine(line, length, " %f %f %f ", &out[0], &out[1], &out[2]);
    }
    for (int k = 0; k < count; ++k)
        out[k] = values[k];
    return count;
}

bool LineHasLiteralAfterBlanks(const char* line, size_t length, const char* literal) {
    size_t i = 0;
    while (i < length && ascii::IsCSpace(line[i]))
        ++i;
    const size_t literalLength = std::strlen(literal);
    return length - i >= literalLength && std::memcmp(line + i, literal, literalLength) == 0;
}

size_t ByteOrderMarkLength(const uint8_t* data, size_t size) {
    return size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
}

bool FirstWordIs(const char* line, size_t length, const char* word) {
    size_t i = 0;
    while (i < length && ascii::IsCSpace(line[i]))
        ++i;
    size_t stop = i;
    while (stop < length && !ascii::IsCSpace(line[stop]) && line[stop] != 0)
        ++stop;
    const size_t wordLength = std::strlen(word);
    if (stop - i != wordLength)
        return false;
    for (size_t k = 0; k < wordLength; ++k)
        if (ascii::Upper(line[i + k]) != ascii::Upper(word[k]))
            return false;
    return true;
}

namespace {

// Bands of a split text hold at least this much of it, and there are up to
// four a core: a core that starts late or runs slow then takes fewer of them.
constexpr size_t kSmallestBand = size_t(1) << 19;
constexpr uint32_t kBandsPerCore = 4;

// The start of the first line that begins at or after `at`.
const char* LineStartFrom(const char* begin, const char* end, const char* at) {
    if (at <= begin)
        return begin;
    const char* p = at - 1;
    while (p < end && !ascii::IsLineBreak(*p))
        ++p;
    return p < end ? p + 1 : end;
}

// The high bit of each byte of `word` that is zero.
inline uint64_t ZeroBytes(uint64_t word) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    return ~(((word & kLow7) + kLow7) | word | kLow7);
}

#if defined(__SSE2__) && defined(__x86_64__)
// Counts the line starts of the whole blocks of sixteen bytes from p and
// returns where they end: each start is a byte -1 that is subtracted from a
// byte counter, and the counters are summed before they can overflow.
const char* CountLineStartsBy16(const char* p, const char* end, size_t& count,
                                bool& previousBreak) {
    const __m128i feeds = _mm_set1_epi8('\n'), returns = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    // Of the previous block, only its last byte is looked at.
    __m128i before = previousBreak ? _mm_set1_epi8(-1) : zero;
    while (end - p >= 16) {
        __m128i counters = zero;
        for (int block = 0; block < 255 && end - p >= 16; ++block, p += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i breaks =
                _mm_or_si128(_mm_cmpeq_epi8(bytes, feeds), _mm_cmpeq_epi8(bytes, returns));
            const __m128i afterBreak =
                _mm_or_si128(_mm_slli_si128(breaks, 1), _mm_srli_si128(before, 15));
            counters = _mm_sub_epi8(counters, _mm_andnot_si128(breaks, afterBreak));
            before = breaks;
        }
        const __m128i sums = _mm_sad_epu8(counters, zero);
        count += size_t(_mm_cvtsi128_si64(sums)) +
                 size_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
    previousBreak = (_mm_movemask_epi8(before) & 0x8000) != 0;
    return p;
}
#endif

// The lines that TextLines gives: the runs of characters between breaks,
// counted sixteen or eight bytes at a time where a line starts after a break.
size_t CountLines(const TextBand& band) {
    constexpr uint64_t kBytes = 0x0101010101010101ull;
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    const char* p = band.begin;
    size_t count = 0;
    bool previousBreak = true; // the first byte of the band follows a break
#if defined(__SSE2__) && defined(__x86_64__)
    p = CountLineStartsBy16(p, band.end, count, previousBreak);
#endif
    uint64_t breakBefore = previousBreak ? 0x80 : 0;
    for (; band.end - p >= 8; p += 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        const uint64_t breaks =
            ZeroBytes(word ^ ('\n' * kBytes)) | ZeroBytes(word ^ ('\r' * kBytes));
        const uint64_t starts = ~breaks & kHighBits & ((breaks << 8) | breakBefore);
        // One bit at the top of each byte: their sum lands in the top byte.
        count += size_t(((starts >> 7) * kBytes) >> 56);
        breakBefore = breaks >> 63 << 7;
    }
    for (previousBreak = breakBefore != 0; p < band.end; ++p) {
        const bool isBreak = ascii::IsLineBreak(*p);
        count += size_t(previousBreak && !isBreak);
        previousBreak = isBreak;
    }
    return count;
}

} // namespace

bool SplitIntoBands(const char* begin, const char* end, std::vector<TextBand>& bands) {
    const size_t size = size_t(end - begin);
    const uint32_t count =
        std::max<uint32_t>(1, std::min({DefaultThreadCount() * kBandsPerCore, kMostBands,
                                        uint32_t(size / kSmallestBand)}));
    try {
        bands.resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint32_t b = 0; b < count; ++b) {
        bands[b].begin = LineStartFrom(begin, end, begin + size * b / count);
        bands[b].end = LineStartFrom(begin, end, begin + size * (b + 1) / count);
    }
    return true;
}

namespace {
constexpr size_t kNotCounted = SIZE_MAX;
} // namespace

bool BandRowCounts::Prepare(size_t bands) {
    m_lines.reset(new (std::nothrow) std::atomic<size_t>[bands]);
    if (!m_lines)
        return false;
    for (size_t b = 0; b < bands; ++b)
        m_lines[b].store(kNotCounted, std::memory_order_relaxed);
    return true;
}

void BandRowCounts::Count(const std::vector<TextBand>& bands, uint32_t index) {
    // Nothing waits for the last band's count.
    if (index + 1 >= bands.size())
        return;
    m_lines[index].store(CountLines(bands[index]), std::memory_order_release);
    m_lines[index].notify_all();
}

size_t BandRowCounts::FirstRow(uint32_t index) const {
    size_t first = 0;
    for (uint32_t b = 0; b < index; ++b) {
        size_t lines;
        while ((lines = m_lines[b].load(std::memory_order_acquire)) == kNotCounted)
            m_lines[b].wait(kNotCounted, std::memory_order_acquire);
        first += lines;
    }
    return first;
}

void RunBands(std::vector<TextBand>& bands, const std::function<void(uint32_t)>& work) {
    const uint32_t count = uint32_t(bands.size());
    ParallelBands(count, count, [&](uint32_t, uint32_t first, uint32_t stop) {
        for (uint32_t b = first; b < stop; ++b)
            work(b);
    });
}

const char* JoinBands(const std::vector<TextBand>& bands, size_t most, size_t& rows,
                      uint32_t& bandsUsed) {
    rows = 0;
    bandsUsed = 0;
    const char* stop = bands.empty() ? nullptr : bands.front().begin;
    for (const TextBand& band : bands) {
        ++bandsUsed;
        rows += band.rows;
        if (rows >= most) {
            // The rows end inside this band, which stopped at the last of them.
            rows = most;
            return band.rowsEnd;
        }
        if (band.refused)
            return band.refused;
        stop = band.end;
    }
    return stop;
}
