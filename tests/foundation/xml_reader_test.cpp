#include "foundation/xml_reader.h"

#include <gtest/gtest.h>

#include <string>
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

} // namespace
