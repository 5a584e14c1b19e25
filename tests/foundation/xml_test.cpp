#include "foundation/number_text.h"
#include "foundation/xml_reader.h"
#include "foundation/xml_values.h"
#include "foundation/xml_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// Reads the whole document; returns each start tag as "tag=value|", with "q:"
// before a quoted value, or the error's full text.
std::string ReadAll(const std::string& text) {
    CVxXMLReader reader{XmlTextView(text.data(), text.size())};
    std::string tokens;
    try {
        while (true) {
            bool isEnd = false;
            reader.Next(isEnd);
            if (reader.AtEnd())
                return tokens;
            if (!isEnd)
                tokens += std::string(reader.Tag().c_str()) + "=" +
                          (reader.IsQuoted() ? "q:" : "") + reader.Value().c_str() + "|";
        }
    } catch (const CVxXMLParseError& error) {
        return error.FullText().c_str();
    }
}

// Values are quoted or trimmed; syntax errors carry their message, line and column.
TEST(XmlReader, ValuesAndSyntaxErrors) {
    const std::pair<std::string, std::string> cases[] = {
        {"<a>\"x\"</A>", "a=q:x|"},
        {"<a>  hi  </a>", "a=hi|"},
        {"<a>\"  hi  \"</a>", "a=q:  hi  |"},
        {"<a>\"hello\nworld\"</a>", "a=q:hello\nworld|"},
        {"<a>\r\n <b>1 2\t</b><c></c><!-- x --><d>\"\"</d></a>", "a=|b=1 2|c=|d=q:|"},
        {"<a><b>v</b><b>w</b></a>", "a=|b=v|b=w|"},
        {"<a>\r\n\t\"q\"\r\n</a>", "a=q:q|"},
        {"<a>\"x\"</b>", "Unexpected end tag at root level: </b>\nLine: 1 Column: 10"},
        {"</a>", "Unexpected end tag at root level: </a>\nLine: 1 Column: 4"},
        {"<a x=\"1\">", "Whitespace unexpected in < > brackets.\nLine: 1 Column: 2"},
        {"<a\tb>", "Whitespace unexpected in < > brackets.\nLine: 1 Column: 2"},
        {"<a\n>", "Newline unexpected in < > brackets.\nLine: 1 Column: 2"},
        {"<a>hello\nworld</a>", "Unexpected newline in value. Use \" \" to enclose values with "
                                "newlines.\nLine: 1 Column: 8"},
        {"<a><b>\"1\"</b>", "Unexpected End of File while looking for </a>\nLine: 1 Column: 13"},
        {"<a>\"open", "Unexpected end of file while looking for '\"'\nLine: 1 Column: 8"},
        {"<a>open", "Unexpected end of file while looking for '<'\nLine: 1 Column: 7"},
        {"<abc", "Unexpected end of file while looking for >\nLine: 1 Column: 4"},
        {"x<a>", "Expected <\nLine: 1 Column: 0"},
        {"<a>\"1\" x</a>", "Expected <\nLine: 1 Column: 7"},
        {"<a>\r\n<b>\r\n</c>", "Unexpected end tag at root level: </c>\nLine: 3 Column: 4"},
        {"<a>\n\n</c>", "Unexpected end tag at root level: </c>\nLine: 3 Column: 4"},
        {"<a>\n\r</c>", "Unexpected end tag at root level: </c>\nLine: 2 Column: 4"},
        {"<a>\"x\ny\"</b>", "Unexpected end tag at root level: </b>\nLine: 2 Column: 6"},
        {"<a>\"x\r\n\n\r\r\ny\"</b>", "Unexpected end tag at root level: </b>\nLine: 4 Column: 6"},
        {std::string("<a>\"x", 5) + std::string(1, '\0') + "\"</a>",
         "Unexpected end of file while looking for '\"'\nLine: 1 Column: 5"},
        {std::string("<a>", 3) + std::string(1, '\0') + "</a>",
         "Unexpected end of file while looking for '<'\nLine: 1 Column: 3"},
        {"<?xml version=\"1.0\" ?>\n<!-- note --><a>\"1\"</a>", "a=q:1|"},
    };
    for (const auto& [text, read] : cases)
        EXPECT_EQ(ReadAll(text), read) << text;
}

// The reader only borrows its text: a temporary cannot be read, and a value
// read where it lies stays in the caller's text after the reader reads on.
static_assert(!std::is_constructible_v<XmlTextView, CVxString>);
static_assert(!std::is_constructible_v<CVxXMLReader, const CVxString&>);
static_assert(!std::is_default_constructible_v<CVxXMLReader>);

TEST(XmlReader, EndTagLeavesParentAsCurrentTagAndChildWalkSkipsDepth) {
    const CVxString walked("<root><x><deep>\"1\"</deep></x><Size>\"33\"</Size></root>");
    CVxXMLReader reader{XmlTextView(walked)};
    bool isEnd = false;
    reader.Next(isEnd);
    uint32_t depth = reader.Depth();
    std::vector<std::string> children;
    while (reader.NextChild(depth))
        children.push_back(reader.Tag().c_str());
    EXPECT_EQ(children, (std::vector<std::string>{"x", "Size"}));
    EXPECT_EQ(reader.Depth(), 0u);
    EXPECT_STREQ(reader.Tag().c_str(), "");

    const CVxString broken("<root>\n\r<x>\"1\r\n\"</x></root>");
    CVxXMLReader lines{XmlTextView(broken)};
    lines.Next(isEnd);
    EXPECT_EQ(std::pair(lines.Line(), lines.Column()), std::pair(2u, 0u));
    lines.Next(isEnd);
    const CVxString tag = lines.Tag().Copy();
    const CVxString value = lines.Value().Copy();
    const XmlTextView inText = lines.ValueInText();
    EXPECT_EQ(std::pair(lines.Line(), lines.Column()), std::pair(3u, 1u));
    lines.Next(isEnd);
    EXPECT_TRUE(isEnd);
    EXPECT_STREQ(lines.Tag().c_str(), "root");
    EXPECT_EQ(std::pair(tag, value), std::pair(CVxString("x"), CVxString("1\r\n")));
    EXPECT_EQ(std::pair(inText.Data(), inText.Length()), std::pair(broken.Data() + 12, size_t(3)));
}

TEST(XmlReader, HostileDocumentsFailWithoutExhaustingTheStack) {
    std::string nested;
    for (int i = 0; i < 100000; ++i)
        nested += "<e>";
    EXPECT_EQ(ReadAll(nested + "\n\"\""), "Unexpected End of File while looking for </e>\n"
                                          "Line: 2 Column: 2");
    for (int i = 0; i < 100000; ++i)
        nested += "</e>";
    EXPECT_EQ(ReadAll(nested).size(), 100000 * std::string("e=|").size());

    const CVxString huge("<a>\"" + CVxString(std::string(100u << 20, 'x').c_str()) + "\"</a>");
    CVxXMLReader reader{XmlTextView(huge)};
    bool isEnd = false;
    reader.Next(isEnd);
    EXPECT_EQ(reader.ValueInText().Length(), 100u << 20);
}

TEST(XmlValues, ParsersConvertTheWholeTextOrLeaveTheTarget) {
    // Texts, as an unsigned number and as a double.
    const std::tuple<const char*, bool, uint32_t, bool, double> cases[] = {
        {"33", true, 33, true, 33},    {"33x", false, 0, false, 0},
        {"", false, 0, false, 0},      {"-5", false, 0, true, -5},
        {"+7", false, 0, true, 7},     {" 7", false, 0, false, 0},
        {"0.5", false, 0, true, 0.5},  {"4294967295", true, 4294967295u, true, 4294967295.0},
        {".5", false, 0, true, 0.5},   {"4294967296", false, 0, true, 4294967296.0},
        {"5.", false, 0, true, 5},     {"-1.5e-3", false, 0, true, -0.0015},
        {"1e", false, 0, false, 0},    {".", false, 0, false, 0},
        {"inf", false, 0, false, 0},   {"0x10", false, 0, false, 0},
        {"1e999", false, 0, false, 0}, {"-0.01e-399", false, 0, true, 0},
    };
    for (const auto& [text, uintOk, uintValue, doubleOk, doubleValue] : cases) {
        uint32_t u = 0;
        double d = 0;
        EXPECT_EQ(ParseXMLUInt32(text, u), uintOk) << text;
        EXPECT_EQ(u, uintValue) << text;
        EXPECT_EQ(ParseXMLDouble(text, d), doubleOk) << text;
        EXPECT_DOUBLE_EQ(d, doubleValue) << text;
    }
    uint32_t ranged = 9;
    EXPECT_FALSE(ParseXMLUInt32("3", ranged, 0, 2));
    EXPECT_EQ(ranged, 9u);
}

TEST(XmlValues, BooleansAndColours) {
    const std::tuple<const char*, bool, bool> bools[] = {
        {"Yes", true, true},   {"TRUE", true, true}, {"on", true, true}, {"1", true, true},
        {"No", true, false},   {"OFF", true, false}, {"0", true, false}, {"2", false, true},
        {"yess", false, true}, {"01", false, true},  {"", false, true}};
    for (const auto& [text, ok, expected] : bools) {
        bool value = true;
        EXPECT_EQ(ParseXMLBool(text, value), ok) << text;
        EXPECT_EQ(value, expected) << text;
    }

    // A colour that fails leaves the target as it was.
    const std::tuple<const char*, bool, std::vector<float>> colours[] = {
        {"0.5", true, {0.5f, 0.5f, 0.5f, 1}}, {"0.5,0.25", true, {0.5f, 0.5f, 0.5f, 0.25f}},
        {"1, 2, 3", true, {1, 2, 3, 1}},      {"1,2,3,4", true, {1, 2, 3, 4}},
        {"1,2,3,4,5", false, {9, 9, 9, 9}},   {"1,,3", false, {9, 9, 9, 9}},
        {"1,x,3", false, {9, 9, 9, 9}},
    };
    for (const auto& [text, ok, expected] : colours) {
        float rgba[4] = {9, 9, 9, 9};
        EXPECT_EQ(ParseXMLColor(text, rgba), ok) << text;
        EXPECT_EQ(std::vector<float>(rgba, rgba + 4), expected) << text;
    }
}

// The elements themselves are checked in the texts of the look tests.
TEST(XmlWriter, DecimalTidying) {
    const std::tuple<double, int, const char*> decimals[] = {
        {2.0, 5, "2"},    {100.0, 5, "100"},   {static_cast<float>(0.3), 15, "0.300000011920929"},
        {0.0, 5, "0"},    {-0.25, 5, "-0.25"}, {0.123456789, 5, "0.12346"},
        {-1e-9, 5, "-0"},
    };
    for (const auto& [value, places, text] : decimals)
        EXPECT_EQ(std::string(FormatXMLDecimal(value, places).c_str()), text) << value;
}

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
