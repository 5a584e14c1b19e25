#include "foundation/xml_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Reads the whole document; returns each start tag as "tag=value|", with "q:"
// before a quoted value, or the error's full text.
std::string ReadAll(const std::string& text) {
    CVxXMLReader reader;
    reader.OpenText(text.data(), text.size());
    std::string tokens;
    try {
        while (true) {
            bool isEnd = false;
            reader.Next(isEnd);
            if (reader.AtEnd())
                return tokens;
            if (!isEnd)
                tokens += std::string(reader.TagText()) + "=" + (reader.IsQuoted() ? "q:" : "") +
                          reader.RawValue() + "|";
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

TEST(XmlReader, EndTagLeavesParentAsCurrentTagAndChildWalkSkipsDepth) {
    CVxXMLReader reader;
    ASSERT_TRUE(reader.Open("<root><x><deep>\"1\"</deep></x><Size>\"33\"</Size></root>", false));
    bool isEnd = false;
    reader.Next(isEnd);
    uint32_t depth = reader.Depth();
    std::vector<std::string> children;
    while (reader.NextChild(depth))
        children.push_back(reader.TagText());
    EXPECT_EQ(children, (std::vector<std::string>{"x", "Size"}));
    EXPECT_EQ(reader.Depth(), 0u);
    EXPECT_STREQ(reader.TagText(), "");

    reader.Open("<root>\n\r<x>\"1\r\n\"</x></root>", false);
    reader.Next(isEnd);
    EXPECT_EQ(std::pair(reader.Line(), reader.Column()), std::pair(2u, 0u));
    reader.Next(isEnd);
    EXPECT_EQ(reader.CurrentValue(), "1\r\n");
    EXPECT_EQ(std::pair(reader.Line(), reader.Column()), std::pair(3u, 1u));
    reader.Next(isEnd);
    EXPECT_TRUE(isEnd);
    EXPECT_STREQ(reader.TagText(), "root");
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

    CVxXMLReader reader;
    reader.Open("<a>\"" + CVxString(std::string(100u << 20, 'x').c_str()) + "\"</a>", false);
    bool isEnd = false;
    reader.Next(isEnd);
    EXPECT_EQ(reader.RawValueLength(), 100u << 20);
}

} // namespace
