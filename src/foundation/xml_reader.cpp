#include "foundation/xml_reader.h"

#include "foundation/name_table.h"
#include "platform/ascii.h"

#include <cstring>

namespace {

bool EqualNoCase(const char* a, uint32_t aLength, const char* b, uint32_t bLength) {
    return ascii::EqualsNoCase(std::string_view(a, aLength), std::string_view(b, bLength));
}

CVxString Concat(const char* a, const char* name, uint32_t length, const char* b) {
    CVxString text(a);
    text.Append(name, length);
    text.Append(b);
    return text;
}

} // namespace

CVxString CVxXMLParseError::FullText() const {
    CVxString text(m_message);
    text.Append("\nLine: ");
    text.Append(CVxString::FromUInt(m_line));
    text.Append(" Column: ");
    text.Append(CVxString::FromUInt(m_column));
    return text;
}

void CVxXMLReader::ClearToken() {
    m_value = "";
    m_valueLength = 0;
    m_hasValue = false;
    m_quoted = false;
    m_valueCopyValid = false;
    m_tagHashValid = false;
}

CVxXMLReader::CVxXMLReader(XmlTextView text) {
    const size_t length = text.Length();
    m_text = text.Data() ? text.Data() : "";
    const void* nul = length ? std::memchr(m_text, 0, length) : nullptr;
    m_end = nul ? static_cast<const char*>(nul) : m_text + length;
    m_pos = m_text;
    m_counted.at = m_text;
}

// Counts on from the last position counted, or from the start when the
// reader is behind it.
const CVxXMLReader::TextPosition& CVxXMLReader::Position() const {
    if (m_counted.at > m_pos)
        m_counted = TextPosition{.at = m_text};
    TextPosition& p = m_counted;
    for (; p.at < m_pos; ++p.at) {
        const char c = *p.at;
        if (!ascii::IsLineBreak(c)) {
            ++p.column;
            p.pendingBreak = 0;
            continue;
        }
        p.column = 0;
        if (p.pendingBreak && p.pendingBreak != c) {
            p.pendingBreak = 0;
            continue;
        }
        ++p.line;
        p.pendingBreak = c;
    }
    return p;
}

uint32_t CVxXMLReader::Line() const {
    return Position().line;
}

uint32_t CVxXMLReader::Column() const {
    return Position().column;
}

void CVxXMLReader::Fail(const char* message) const {
    const TextPosition& at = Position();
    throw CVxXMLParseError(CVxString(message), at.line, at.column);
}

void CVxXMLReader::FailUnexpectedEnd(const char* message) {
    m_atEnd = true;
    Fail(message);
}

void CVxXMLReader::SkipBlanksAndConstructs() {
    for (;;) {
        while (m_pos < m_end && ascii::IsBlankOrBreak(*m_pos))
            ++m_pos;
        if (Peek() != '<' || (Peek(1) != '!' && Peek(1) != '?'))
            return;
        const void* close = std::memchr(m_pos, '>', static_cast<size_t>(m_end - m_pos));
        m_pos = close ? static_cast<const char*>(close) + 1 : m_end;
    }
}

void CVxXMLReader::ReadTagName(const char*& name, uint32_t& length) {
    if (Peek() != '<')
        Fail("Expected <");
    ++m_pos;
    const char* start = m_pos;
    for (;;) {
        const char c = Peek();
        if (c == '>')
            break;
        if (c == 0)
            FailUnexpectedEnd("Unexpected end of file while looking for >");
        if (ascii::IsBlank(c))
            Fail("Whitespace unexpected in < > brackets.");
        if (ascii::IsLineBreak(c))
            Fail("Newline unexpected in < > brackets.");
        ++m_pos;
    }
    name = start;
    length = static_cast<uint32_t>(m_pos - start);
    ++m_pos;
}

void CVxXMLReader::ReadEndTag(const char* name, uint32_t length, bool& isEnd) {
    if (m_stack.empty() || !EqualNoCase(name, length, m_stack.back().name, m_stack.back().length))
        Fail(Concat("Unexpected end tag at root level: </", name, length, ">").c_str());
    m_stack.pop_back();
    if (m_stack.empty())
        m_tag.Empty();
    else
        m_tag.Assign(m_stack.back().name, m_stack.back().length);
    isEnd = true;
}

void CVxXMLReader::ReadQuotedValue() {
    const char* start = ++m_pos;
    const void* close = std::memchr(start, '"', static_cast<size_t>(m_end - start));
    m_pos = close ? static_cast<const char*>(close) : m_end;
    if (!close)
        FailUnexpectedEnd("Unexpected end of file while looking for '\"'");
    m_value = start;
    m_valueLength = static_cast<uint32_t>(m_pos - start);
    ++m_pos;
    m_quoted = true;
    m_hasValue = true;
}

void CVxXMLReader::ReadUnquotedValue() {
    const char* start = m_pos;
    for (;;) {
        const char c = Peek();
        if (c == '<')
            break;
        if (c == 0)
            FailUnexpectedEnd("Unexpected end of file while looking for '<'");
        if (ascii::IsLineBreak(c))
            Fail("Unexpected newline in value. Use \" \" to enclose values with newlines.");
        ++m_pos;
    }
    const char* end = m_pos;
    while (end > start && ascii::IsBlank(end[-1]))
        --end;
    m_value = start;
    m_valueLength = static_cast<uint32_t>(end - start);
    m_hasValue = true;
}

void CVxXMLReader::ReadValue() {
    SkipBlanksAndConstructs();
    const char c = Peek();
    if (c == '<')
        return;
    if (c == '"')
        ReadQuotedValue();
    else
        ReadUnquotedValue();
}

void CVxXMLReader::Next(bool& isEnd) {
    isEnd = false;
    ClearToken();
    SkipBlanksAndConstructs();
    if (m_pos == m_end) {
        m_atEnd = true;
        if (!m_stack.empty())
            Fail(Concat("Unexpected End of File while looking for </", m_stack.back().name,
                        m_stack.back().length, ">")
                     .c_str());
        m_tag.Empty();
        return;
    }
    const char* name = nullptr;
    uint32_t length = 0;
    ReadTagName(name, length);
    if (length > 0 && name[0] == '/') {
        ReadEndTag(name + 1, length - 1, isEnd);
        return;
    }
    m_stack.push_back(OpenElement{name, length});
    m_tag.Assign(name, length);
    ReadValue();
}

bool CVxXMLReader::NextChild(uint32_t depth) {
    for (;;) {
        bool isEnd = false;
        Next(isEnd);
        if (m_atEnd)
            return false;
        if (isEnd) {
            if (Depth() < depth)
                return false;
            continue;
        }
        if (Depth() == depth + 1)
            return true;
    }
}

bool CVxXMLReader::SkipElement() {
    uint32_t depth = Depth();
    if (depth == 0)
        return false;
    for (;;) {
        bool isEnd = false;
        Next(isEnd);
        if (m_atEnd)
            return false;
        if (isEnd && Depth() < depth)
            return true;
    }
}

bool CVxXMLReader::TagIs(const char* name) const {
    return ascii::EqualsNoCase(m_tag.View(), name);
}

bool CVxXMLReader::TagStartsWith(const char* prefix) const {
    const std::string_view start(prefix);
    return start.size() <= m_tag.Length() &&
           ascii::EqualsNoCase(m_tag.View().substr(0, start.size()), start);
}

// The framework upper-cases the tag itself while hashing it; callers see the
// upper-case name until the next token. The open element keeps its spelling.
uint32_t CVxXMLReader::TagHash() {
    if (m_tagHashValid)
        return m_tagHash;
    m_tag.MakeUpper();
    m_tagHash = NameHash(m_tag.c_str(), m_tag.Length());
    m_tagHashValid = true;
    return m_tagHash;
}

XmlTokenView CVxXMLReader::Value() const {
    if (!m_valueCopyValid) {
        m_valueCopy.Assign(m_value, m_valueLength);
        m_valueCopyValid = true;
    }
    return XmlTokenView(m_valueCopy);
}
