#include "foundation/number_text.h"

#include "platform/ascii.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

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

bool ParseCNumber(std::string_view item, double& out) {
    const CVxString copy(item.data(), static_cast<uint32_t>(item.size()));
    // The copy ends at a 0 byte, which the item itself must not hold.
    return copy.Length() == item.size() && copy.ToDouble(out);
}

bool ParseLeadingNumber(std::string_view item, double& out) {
    if (!item.empty() && item.front() == '+')
        item.remove_prefix(1);
    return std::from_chars(item.data(), item.data() + item.size(), out).ec == std::errc();
}

bool ParseItem(std::string_view item, ENumberSyntax syntax, double& out) {
    switch (syntax) {
    case ENumberSyntax::eDecimal:
        return ParseDecimalText(item, out);
    case ENumberSyntax::eCNumber:
        return ParseCNumber(item, out);
    case ENumberSyntax::eLeadingNumber:
        return ParseLeadingNumber(item, out);
    }
    return false;
}

bool IsItem(std::string_view piece, bool last, const NumberListPolicy& policy) {
    switch (policy.emptyPieces) {
    case EEmptyPieces::eAreItems:
        return true;
    case EEmptyPieces::eSkipped:
        return !piece.empty();
    case EEmptyPieces::eLastIsNoItem:
        return !last || !CVxString::Trim(piece, policy.blanks).empty();
    }
    return true;
}

} // namespace

bool ParseDecimalText(std::string_view text, double& out) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
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
    out = begin[0] == '-' ? -value : value;
    return true;
}

bool ParseNumberList(std::string_view text, const NumberListPolicy& policy, double out[4],
                     uint32_t& count) {
    const uint32_t maxItems = std::min(policy.maxItems, 4u);
    double values[4] = {0, 0, 0, 0};
    uint32_t found = 0;
    for (bool last = false; !last;) {
        const size_t comma = text.find(',');
        last = comma == std::string_view::npos;
        const std::string_view piece = text.substr(0, comma);
        text.remove_prefix(last ? text.size() : comma + 1);
        if (!IsItem(piece, last, policy))
            continue;
        if (found == maxItems) {
            if (policy.ignoreItemsPastMax)
                break;
            return false;
        }
        double value = 0;
        if (!ParseItem(CVxString::Trim(piece, policy.blanks), policy.syntax, value)) {
            if (!policy.badItemIsZero)
                return false;
            value = 0;
        }
        values[found++] = value;
    }
    for (uint32_t i = 0; i < found; ++i)
        out[i] = values[i];
    count = found;
    return true;
}
