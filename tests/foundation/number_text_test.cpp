#include "foundation/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace {

using E = EEmptyPieces;
using S = ENumberSyntax;

// The lists the program reads: colours of the markup dialect, layer parameters,
// definition defaults (at most three here) and pipeline constants.
const NumberListPolicy kMarkup{.syntax = S::eDecimal, .blanks = " \t"};
const NumberListPolicy kParameter{.syntax = S::eCNumber, .emptyPieces = E::eSkipped};
const NumberListPolicy kDefaults{.syntax = S::eLeadingNumber,
                                 .emptyPieces = E::eLastIsNoItem,
                                 .maxItems = 3,
                                 .ignoreItemsPastMax = true,
                                 .badItemIsZero = true};
const NumberListPolicy kConstant{
    .syntax = S::eCNumber, .blanks = " \t", .emptyPieces = E::eSkipped};

TEST(NumberList, EachPolicyReadsItsOwnLists) {
    const double inf = INFINITY;
    const std::tuple<const NumberListPolicy&, const char*, bool, std::vector<double>> cases[] = {
        {kMarkup, " 1 ,\t2.5e1 ", true, {1, 25}},
        {kMarkup, "1,,3", false, {}},
        {kMarkup, "1,", false, {}},
        {kMarkup, "", false, {}},
        {kMarkup, "1,2,3,4,5", false, {}},
        {kMarkup, "1\n,2", false, {}},
        {kMarkup, "0x10", false, {}},
        {kMarkup, "-1e-400,+.5,5.", true, {0, 0.5, 5}},
        {kParameter, ",1,,0x10,\n2\r,", true, {1, 16, 2}},
        {kParameter, "", true, {}},
        {kParameter, "1, ,2", false, {}},
        {kParameter, "1e999", false, {}},
        {kParameter, "\v1,2x", false, {}},
        {kDefaults, "+2x, ,-1, 7", true, {2, 0, -1}},
        {kDefaults, "1, \t", true, {1}},
        {kDefaults, ",,", true, {0, 0}},
        {kDefaults, "0x10,++1,1e999,inf", true, {0, 0, 0}},
        {kDefaults, " -inf ", true, {-inf}},
        {kDefaults, " ", true, {}},
        {kConstant, "\n1, 2,,3 ,4", true, {1, 2, 3, 4}},
        {kConstant, "1,2,3,4\n", false, {}},
        {kConstant, "1,2,3,4,", true, {1, 2, 3, 4}}};
    for (const auto& [policy, text, ok, read] : cases) {
        double items[4] = {9, 9, 9, 9};
        uint32_t count = 99;
        EXPECT_EQ(ParseNumberList(text, policy, items, count), ok) << text;
        // A list that fails leaves the count and the items as they were.
        std::vector<double> expected = ok ? read : std::vector<double>();
        EXPECT_EQ(count, ok ? expected.size() : 99u) << text;
        expected.resize(4, 9);
        EXPECT_EQ(std::vector<double>(items, items + 4), expected) << text;
    }
}

} // namespace
