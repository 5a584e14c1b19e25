#include "foundation/xml_values.h"

#include "foundation/number_text.h"
#include "foundation/vx_string.h"
#include "platform/ascii.h"

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

// Colours and vectors: decimals with spaces or tabs around them; every comma
// starts an item, so an empty one fails the list.
constexpr NumberListPolicy kMarkupList{
    .syntax = ENumberSyntax::eDecimal, .blanks = " \t", .emptyPieces = EEmptyPieces::eAreItems};

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
    if (!ParseDecimalText(text, value) || value < lo || value > hi)
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

bool ParseXMLColor(const char* text, float out[4]) {
    double values[4];
    uint32_t count = 0;
    if (!ParseNumberList(text, kMarkupList, values, count))
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
