#include "foundation/xml_values.h"

#include "foundation/vx_string.h"
#include "platform/ascii.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// Digits only, whole text, no overflow.
bool ParseDigits(const char* text, uint64_t& out) {
    if (!ascii::IsDigit(*text))
        return false;
    uint64_t value = 0;
    for (; ascii::IsDigit(*text); ++text) {
        uint64_t digit = static_cast<uint64_t>(*text - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    if (*text)
        return false;
    out = value;
    return true;
}

bool ParseSigned(const char* text, int64_t& out) {
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    uint64_t magnitude = 0;
    if (!ParseDigits(text, magnitude))
        return false;
    uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    if (magnitude > limit)
        return false;
    out = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// For a number that does not fit a double: whether it is too small rather
// than too large. Such a number reads as zero, as the C conversion gives it.
bool IsBelowSmallestDouble(const char* p, const char* end) {
    int64_t integerDigits = 0;
    int64_t fractionZeros = 0;
    bool significant = false;
    bool point = false;
    for (; p < end && *p != 'e' && *p != 'E'; ++p) {
        if (*p == '.') {
            point = true;
            continue;
        }
        significant = significant || *p != '0';
        if (significant && !point)
            ++integerDigits;
        else if (!significant && point)
            ++fractionZeros;
    }
    int64_t exponent = 0;
    bool negative = p + 1 < end && p[1] == '-';
    for (p = p < end ? p + 1 : p; p < end; ++p)
        if (ascii::IsDigit(*p) && exponent < 1000000000)
            exponent = exponent * 10 + (*p - '0');
    int64_t order = (integerDigits > 0 ? integerDigits - 1 : -fractionZeros - 1) +
                    (negative ? -exponent : exponent);
    return order < 0;
}

// Checks the decimal syntax over [text, end) and converts it.
bool ParseDecimalRange(const char* text, const char* end, double& out) {
    const char* p = text;
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    const char* numberStart = p;
    bool digits = false;
    while (p < end && ascii::IsDigit(*p)) {
        ++p;
        digits = true;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && ascii::IsDigit(*p)) {
            ++p;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        if (p >= end || !ascii::IsDigit(*p))
            return false;
        while (p < end && ascii::IsDigit(*p))
            ++p;
    }
    if (p != end)
        return false;
    double value = 0;
    auto result = std::from_chars(numberStart, end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range && IsBelowSmallestDouble(numberStart, end))
        value = 0;
    else if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return false;
    out = text[0] == '-' ? -value : value;
    return true;
}

} // namespace

bool ParseXMLUInt32(const char* text, uint32_t& out, uint32_t lo, uint32_t hi) {
    uint64_t value = 0;
    if (!ParseDigits(text, value) || value < lo || value > hi)
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool ParseXMLInt32(const char* text, int32_t& out, int32_t lo, int32_t hi) {
    int64_t value = 0;
    if (!ParseSigned(text, value) || value < lo || value > hi)
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

bool ParseXMLInt64(const char* text, int64_t& out, int64_t lo, int64_t hi) {
    return CVxString(text).ToInt64(out, lo, hi);
}

bool ParseXMLDouble(const char* text, double& out, double lo, double hi) {
    double value = 0;
    if (!ParseDecimalRange(text, text + std::strlen(text), value) || value < lo || value > hi)
        return false;
    out = value;
    return true;
}

bool ParseXMLFloat(const char* text, float& out) {
    double value = 0;
    if (!ParseXMLDouble(text, value, -FLT_MAX, FLT_MAX))
        return false;
    out = static_cast<float>(value);
    return true;
}

bool ParseXMLBool(const char* text, bool& out) {
    if (std::strcmp(text, "1") == 0 || ascii::EqualsNoCase(text, "true") ||
        ascii::EqualsNoCase(text, "on") || ascii::EqualsNoCase(text, "yes")) {
        out = true;
        return true;
    }
    if (std::strcmp(text, "0") == 0 || ascii::EqualsNoCase(text, "false") ||
        ascii::EqualsNoCase(text, "off") || ascii::EqualsNoCase(text, "no")) {
        out = false;
        return true;
    }
    return false;
}

bool ParseXMLDecimalList(const char* text, double out[4], int& count) {
    double values[4] = {0, 0, 0, 0};
    int found = 0;
    const char* p = text;
    for (;;) {
        const char* comma = std::strchr(p, ',');
        const char* end = comma ? comma : p + std::strlen(p);
        const char* first = p;
        while (first < end && ascii::IsBlank(*first))
            ++first;
        const char* last = end;
        while (last > first && ascii::IsBlank(last[-1]))
            --last;
        if (found == 4 || !ParseDecimalRange(first, last, values[found]))
            return false;
        ++found;
        if (!comma)
            break;
        p = comma + 1;
    }
    for (int i = 0; i < found; ++i)
        out[i] = values[i];
    count = found;
    return true;
}

bool ParseXMLColor(const char* text, float out[4]) {
    double values[4];
    int count = 0;
    if (!ParseXMLDecimalList(text, values, count))
        return false;
    float r = static_cast<float>(values[0]);
    float g = count >= 3 ? static_cast<float>(values[1]) : r;
    float b = count >= 3 ? static_cast<float>(values[2]) : r;
    float a = count == 2   ? static_cast<float>(values[1])
              : count == 4 ? static_cast<float>(values[3])
                           : 1.0f;
    out[0] = r;
    out[1] = g;
    out[2] = b;
    out[3] = a;
    return true;
}
