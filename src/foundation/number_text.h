#pragma once

#include "foundation/vx_string.h"

#include <cstdint>
#include <string_view>

// A decimal over the whole text: an optional sign, digits with an optional
// decimal point, an optional exponent; nothing else, not even blanks. Read in
// the C locale; a number too small for a double reads as zero, one too large fails.
bool ParseDecimalText(std::string_view text, double& out);

// What one item of a number list may hold.
enum class ENumberSyntax : uint8_t {
    // ParseDecimalText.
    eDecimal,
    // What CVxString::ToDouble reads (strtod over the whole item): leading white
    // space, hexadecimal and NaN as well; infinity and overflow fail.
    eCNumber,
    // The number at the start of the item, after at most one '+', whatever follows
    // it; infinity and NaN are numbers, hexadecimal is not.
    eLeadingNumber,
};

// What a piece between two commas (or before the first, or after the last) that
// holds nothing means.
enum class EEmptyPieces : uint8_t {
    // It is an item like any other, which then does not parse.
    eAreItems,
    // It is no item: "1,,2" holds two, and so do ",1,2" and "1,2,".
    eSkipped,
    // As eAreItems, except that the piece after the last comma, when it holds
    // only blanks, is no item: "1," holds one, "1,,2" three.
    eLastIsNoItem,
};

// The rules of one kind of comma-separated number list. The lists of the markup
// dialect, of layer parameters, of definition defaults and of pipeline constants
// came about separately and differ in each of these points, so every caller
// states its own.
struct NumberListPolicy {
    ENumberSyntax syntax = ENumberSyntax::eDecimal;
    // Trimmed from both ends of every item before it is read.
    const char* blanks = CVxString::kBlanks;
    EEmptyPieces emptyPieces = EEmptyPieces::eAreItems;
    // 1 to 4.
    uint32_t maxItems = 4;
    // Otherwise a list with more items fails.
    bool ignoreItemsPastMax = false;
    // Otherwise an item that does not parse fails the list.
    bool badItemIsZero = false;
};

// Reads the items of a comma-separated list into out[0..count-1]. False when the
// list fails under the policy; out and count are then left as they were.
bool ParseNumberList(std::string_view text, const NumberListPolicy& policy, double out[4],
                     uint32_t& count);
