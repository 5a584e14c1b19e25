#include "lut/lut_text.h"

#include "foundation/vx_string.h"
#include "platform/ascii.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

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

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Parses [sign] digits [. digits] [e|E [sign] digits] and converts it with one
// correctly rounded double operation. Returns false (leaving the line to the C
// library) whenever the text or the value is outside what that proves exact.
bool ParsePlainFloat(const char*& p, const char* end, float& out) {
    const char* s = p;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) {
        negative = *s == '-';
        ++s;
    }
    uint64_t mantissa = 0;
    int significant = 0;
    int exponent = 0;
    bool anyDigit = false;
    // Leading zeros are no significant digits; more than 19 are left to the C library.
    auto takeDigit = [&](char digit) {
        anyDigit = true;
        if (mantissa == 0 && digit == '0')
            return true;
        if (significant == 19)
            return false;
        mantissa = mantissa * 10 + static_cast<uint64_t>(digit - '0');
        ++significant;
        return true;
    };
    for (; s < end && ascii::IsDigit(*s); ++s)
        if (!takeDigit(*s))
            return false;
    if (s < end && *s == '.') {
        for (++s; s < end && ascii::IsDigit(*s); ++s, --exponent)
            if (!takeDigit(*s))
                return false;
    }
    if (!anyDigit)
        return false;
    if (s < end && (*s == 'e' || *s == 'E')) {
        ++s;
        bool negativeExponent = false;
        if (s < end && (*s == '+' || *s == '-')) {
            negativeExponent = *s == '-';
            ++s;
        }
        if (s == end || !ascii::IsDigit(*s))
            return false;
        int value = 0;
        for (; s < end && ascii::IsDigit(*s); ++s) {
            if (value > 10000)
                return false;
            value = value * 10 + (*s - '0');
        }
        exponent += negativeExponent ? -value : value;
    }
    // The number must end the line or be followed by a blank.
    if (s < end && !ascii::IsBlank(*s))
        return false;
    if (mantissa == 0) {
        out = negative ? -0.0f : 0.0f;
        p = s;
        return true;
    }
    if (mantissa > (uint64_t(1) << 53) || exponent < -22 || exponent > 22)
        return false;
    const double exact = static_cast<double>(mantissa);
    const double value =
        exponent < 0 ? exact / kPowersOfTen[-exponent] : exact * kPowersOfTen[exponent];
    if (value > 3.4e38)
        return false;
    // Rounding the double again to float is exact unless the double sits on a
    // midpoint between two floats; that case goes to the C library.
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & 0x1FFFFFFFu) == 0x10000000u)
        return false;
    const float rounded = static_cast<float>(value);
    out = negative ? -rounded : rounded;
    p = s;
    return true;
}

} // namespace

bool TextLines::Next() {
    while (m_next < m_end && ascii::IsLineBreak(*m_next))
        ++m_next;
    if (m_next >= m_end)
        return false;
    const char* start = m_next;
    const void* found = std::memchr(start, '\n', static_cast<size_t>(m_end - start));
    const char* stop = found ? static_cast<const char*>(found) : m_end;
    const void* carriage = std::memchr(start, '\r', static_cast<size_t>(stop - start));
    if (carriage)
        stop = static_cast<const char*>(carriage);
    m_next = stop;
    const std::string_view line = CVxString::Trim({start, static_cast<size_t>(stop - start)});
    m_line = line.data();
    m_length = line.size();
    return true;
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
    const char* p = line;
    const char* end = line + length;
    float values[3];
    int count = 0;
    for (; count < 3; ++count) {
        while (p < end && ascii::IsBlank(*p))
            ++p;
        if (p == end)
            break;
        if (!ParsePlainFloat(p, end, values[count]))
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
