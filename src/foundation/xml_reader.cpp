#include "foundation/xml_reader.h"

#include "foundation/file_contents.h"
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

void CVxXMLReader::Reset() {
    m_fileName.Empty();
    m_buffer.reset();
    m_bufferLength = 0;
    m_pos = nullptr;
    m_line = 1;
    m_column = 0;
    m_pendingBreak = 0;
    m_atEnd = false;
    m_restoreBracket = false;
    m_stack.clear();
    m_tag = "";
    m_tagLength = 0;
    ClearToken();
}

void CVxXMLReader::ClearToken() {
    m_value = "";
    m_valueLength = 0;
    m_hasValue = false;
    m_quoted = false;
    m_tagCopyValid = false;
    m_valueCopyValid = false;
    m_tagHashValid = false;
}

void CVxXMLReader::OpenText(const char* text, size_t length) {
    Reset();
    m_buffer.reset(new char[length + 1]);
    if (length)
        std::memcpy(m_buffer.get(), text, length);
    m_buffer[length] = 0;
    m_bufferLength = length;
    m_pos = m_buffer.get();
}

bool CVxXMLReader::Open(const CVxString& source, bool isFile) {
    if (!isFile) {
        OpenText(source.Data(), source.Length());
        return true;
    }
    Reset();
    CVxString bytes;
    if (!ReadBinaryFile(source, bytes))
        return false;
    OpenText(bytes.Data(), bytes.Length());
    m_fileName = source;
    return true;
}

void CVxXMLReader::Fail(const char* message) const {
    throw CVxXMLParseError(CVxString(message), m_line, m_column);
}

void CVxXMLReader::FailUnexpectedEnd(const char* message) {
    m_atEnd = true;
    Fail(message);
}

// A CR or LF starts a new line unless it completes a pair with the break
// just before it (CR LF or LF CR); two equal breaks are two lines.
void CVxXMLReader::Consume() {
    char c = *m_pos++;
    if (!ascii::IsLineBreak(c)) {
        ++m_column;
        m_pendingBreak = 0;
        return;
    }
    m_column = 0;
    if (m_pendingBreak && m_pendingBreak != c) {
        m_pendingBreak = 0;
        return;
    }
    ++m_line;
    m_pendingBreak = c;
}

void CVxXMLReader::SkipBlanksAndConstructs() {
    for (;;) {
        char c = *m_pos;
        if (ascii::IsBlankOrBreak(c)) {
            Consume();
            continue;
        }
        if (c != '<' || (m_pos[1] != '!' && m_pos[1] != '?'))
            return;
        while (*m_pos && *m_pos != '>')
            Consume();
        if (*m_pos == '>')
            Consume();
    }
}

void CVxXMLReader::ReadTagName(const char*& name, uint32_t& length) {
    if (*m_pos != '<')
        Fail("Expected <");
    Consume();
    char* start = m_pos;
    for (;;) {
        char c = *m_pos;
        if (c == '>')
            break;
        if (c == 0)
            FailUnexpectedEnd("Unexpected end of file while looking for >");
        if (ascii::IsBlank(c))
            Fail("Whitespace unexpected in < > brackets.");
        if (ascii::IsLineBreak(c))
            Fail("Newline unexpected in < > brackets.");
        Consume();
    }
    name = start;
    length = static_cast<uint32_t>(m_pos - start);
    // The name stays in the buffer, ended where the '>' was.
    *m_pos = 0;
    ++m_pos;
    ++m_column;
    m_pendingBreak = 0;
}

void CVxXMLReader::ReadEndTag(const char* name, uint32_t length, bool& isEnd) {
    if (m_stack.empty() || !EqualNoCase(name, length, m_stack.back().name, m_stack.back().length))
        throw CVxXMLParseError(Concat("Unexpected end tag at root level: </", name, length, ">"),
                               m_line, m_column);
    m_stack.pop_back();
    if (m_stack.empty()) {
        m_tag = "";
        m_tagLength = 0;
    } else {
        m_tag = m_stack.back().name;
        m_tagLength = m_stack.back().length;
    }
    isEnd = true;
}

void CVxXMLReader::ReadQuotedValue() {
    Consume();
    char* start = m_pos;
    char* close = static_cast<char*>(
        std::memchr(start, '"', m_bufferLength - static_cast<size_t>(start - m_buffer.get())));
    char* stop = close ? close : m_buffer.get() + m_bufferLength;
    // An embedded NUL ends the text as the terminating one does.
    char* nul = static_cast<char*>(std::memchr(start, 0, static_cast<size_t>(stop - start)));
    if (nul)
        stop = nul;
    for (char* p = start; p < stop; ++p) {
        char c = *p;
        if (!ascii::IsLineBreak(c)) {
            ++m_column;
            m_pendingBreak = 0;
            continue;
        }
        m_pos = p;
        Consume();
    }
    m_pos = stop;
    if (*m_pos != '"')
        FailUnexpectedEnd("Unexpected end of file while looking for '\"'");
    *m_pos = 0;
    ++m_pos;
    ++m_column;
    m_pendingBreak = 0;
    m_value = start;
    m_valueLength = static_cast<uint32_t>(stop - start);
    m_quoted = true;
    m_hasValue = true;
}

void CVxXMLReader::ReadUnquotedValue() {
    char* start = m_pos;
    for (;;) {
        char c = *m_pos;
        if (c == '<')
            break;
        if (c == 0)
            FailUnexpectedEnd("Unexpected end of file while looking for '<'");
        if (ascii::IsLineBreak(c))
            Fail("Unexpected newline in value. Use \" \" to enclose values with newlines.");
        ++m_pos;
        ++m_column;
    }
    m_pendingBreak = 0;
    char* end = m_pos;
    while (end > start && ascii::IsBlank(end[-1]))
        --end;
    if (end == m_pos)
        m_restoreBracket = true;
    *end = 0;
    m_value = start;
    m_valueLength = static_cast<uint32_t>(end - start);
    m_hasValue = true;
}

void CVxXMLReader::ReadValue() {
    SkipBlanksAndConstructs();
    char c = *m_pos;
    if (c == '<')
        return;
    if (c == '"')
        ReadQuotedValue();
    else
        ReadUnquotedValue();
}

void CVxXMLReader::Next(bool& isEnd) {
    isEnd = false;
    if (!m_buffer)
        throw CVxXMLParseError(CVxString("XML file is not open."), 0, 0);
    ClearToken();
    if (m_restoreBracket) {
        *m_pos = '<';
        m_restoreBracket = false;
    }
    SkipBlanksAndConstructs();
    if (*m_pos == 0) {
        m_atEnd = true;
        if (!m_stack.empty())
            throw CVxXMLParseError(Concat("Unexpected End of File while looking for </",
                                          m_stack.back().name, m_stack.back().length, ">"),
                                   m_line, m_column);
        m_tag = "";
        m_tagLength = 0;
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
    m_tag = name;
    m_tagLength = length;
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

const CVxString& CVxXMLReader::Tag() {
    if (!m_tagCopyValid) {
        m_tagCopy.Assign(m_tag, m_tagLength);
        m_tagCopyValid = true;
    }
    return m_tagCopy;
}

bool CVxXMLReader::TagIs(const char* name) const {
    return EqualNoCase(m_tag, m_tagLength, name, static_cast<uint32_t>(std::strlen(name)));
}

bool CVxXMLReader::TagStartsWith(const char* prefix) const {
    uint32_t length = static_cast<uint32_t>(std::strlen(prefix));
    return length <= m_tagLength && EqualNoCase(m_tag, length, prefix, length);
}

// The framework upper-cases the tag itself while hashing it; callers see the
// upper-case name until the next token. The open element keeps its spelling.
uint32_t CVxXMLReader::TagHash() {
    if (m_tagHashValid)
        return m_tagHash;
    m_upperTag.Assign(m_tag, m_tagLength);
    m_upperTag.MakeUpper();
    m_tag = m_upperTag.c_str();
    m_tagCopyValid = false;
    m_tagHash = NameHash(m_tag, m_tagLength);
    m_tagHashValid = true;
    return m_tagHash;
}

const CVxString& CVxXMLReader::CurrentValue() {
    if (!m_valueCopyValid) {
        m_valueCopy.Assign(m_value, m_valueLength);
        m_valueCopyValid = true;
    }
    return m_valueCopy;
}
