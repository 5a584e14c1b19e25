#pragma once

#include "foundation/vx_string.h"
#include "foundation/xml_text.h"
#include "foundation/xml_values.h"

#include <cstdint>
#include <vector>

// A syntax error of the framework's XML dialect. Thrown only inside document
// readers, which catch it at their entry point and report a failed load.
class CVxXMLParseError {
public:
    CVxXMLParseError(const CVxString& message, uint32_t line, uint32_t column)
        : m_message(message), m_line(line), m_column(column) {}

    const CVxString& Message() const { return m_message; }
    uint32_t Line() const { return m_line; }
    uint32_t Column() const { return m_column; }
    // The message, then "\nLine: <line> Column: <column>".
    CVxString FullText() const;

private:
    CVxString m_message;
    uint32_t m_line;
    uint32_t m_column;
};

// The text of the reader's current tag or value, NUL-terminated and held by
// the reader: valid until the reader's next read. Copy() keeps it for longer.
class XmlTokenView {
public:
    const char* c_str() const { return m_text.c_str(); }
    uint32_t Length() const { return m_text.Length(); }
    CVxString Copy() const { return m_text; }

private:
    friend class CVxXMLReader;
    explicit XmlTokenView(const CVxString& text) : m_text(text) {}

    const CVxString& m_text;
};

// Pull reader of the framework's XML dialect: elements without attributes,
// leaf values in double quotes (or unquoted on one line), no entities; <?...?>
// and <!...> constructs are skipped. Names compare without regard to case.
// A 0 byte ends the text.
//
// Typical element reader, positioned after the start tag of a container:
//
//     uint32_t depth = reader.Depth();
//     while (reader.NextChild(depth)) {
//         if (reader.TagIs("size")) ParseXMLUInt32(reader.Value().c_str(), size);
//     }
//
// The reader reads the text where it lies and never changes it; tags and values
// are copied out only when asked for as NUL-terminated texts, and the line and
// column of the current position are counted only when asked for.
// Every method that reads may throw CVxXMLParseError.
class CVxXMLReader {
public:
    // Reads `text` where it lies, without a copy; the view says who keeps it.
    explicit CVxXMLReader(XmlTextView text);
    CVxXMLReader(const CVxXMLReader&) = delete;
    CVxXMLReader& operator=(const CVxXMLReader&) = delete;

    // Reads the next tag and, after a start tag, its value. isEnd becomes true
    // when the tag read was an end tag; at the end of the text AtEnd() is set
    // and isEnd stays false.
    void Next(bool& isEnd);

    // Reads tokens inside the element whose start tag left the reader at
    // `depth` (the value of Depth() then). Returns true positioned on the start
    // tag of a direct child; grandchildren the caller did not read are skipped
    // whole. Returns false once the element's end tag is read (or at the end
    // of a document, for depth 0).
    bool NextChild(uint32_t depth);

    // After a start tag: reads up to and including the end tag that closes
    // the element; false when the end of the text comes first.
    bool SkipElement();

    // Name of the current tag. After an end tag this is the name of the
    // element that is now innermost (empty at the top level).
    XmlTokenView Tag() const { return XmlTokenView(m_tag); }
    bool TagIs(const char* name) const;
    bool TagStartsWith(const char* prefix) const;
    // Hash of the current tag for dispatch (the name table's hash of the name
    // in upper case); callers confirm a match with TagIs. Converts the current
    // tag to upper case, as Tag() then shows it.
    uint32_t TagHash();

    // The current value; "" when the start tag had no value.
    XmlTokenView Value() const;
    // The current value where it lies in the document, without a copy: valid
    // while the document's text lives, whatever the reader reads next.
    XmlTextView ValueInText() const { return {m_value, m_valueLength}; }
    bool HasValue() const { return m_hasValue; }
    bool IsQuoted() const { return m_quoted; }

    // Number of open elements.
    uint32_t Depth() const { return static_cast<uint32_t>(m_stack.size()); }
    bool AtEnd() const { return m_atEnd; }
    // Line (from 1) and column (characters since the line's start) of the
    // position reached: a CR or LF starts a line unless it completes a pair
    // with the break just before it (CR LF or LF CR).
    uint32_t Line() const;
    uint32_t Column() const;

    // Throws a parse error with the reader's current line and column.
    [[noreturn]] void Fail(const char* message) const;

private:
    struct OpenElement {
        const char* name;
        uint32_t length;
    };
    // Line and column at a position of the text, and the break just before it
    // when that break may still pair with the next one.
    struct TextPosition {
        const char* at = nullptr;
        uint32_t line = 1;
        uint32_t column = 0;
        char pendingBreak = 0;
    };

    char Peek(size_t offset = 0) const { return m_pos + offset < m_end ? m_pos[offset] : 0; }
    void SkipBlanksAndConstructs();
    void ReadTagName(const char*& name, uint32_t& length);
    void ReadEndTag(const char* name, uint32_t length, bool& isEnd);
    void ReadValue();
    void ReadQuotedValue();
    void ReadUnquotedValue();
    void ClearToken();
    const TextPosition& Position() const;
    [[noreturn]] void FailUnexpectedEnd(const char* message);

    const char* m_text = nullptr;
    const char* m_end = nullptr; // the end of the text, or its first 0 byte
    const char* m_pos = nullptr;
    mutable TextPosition m_counted; // the last position whose line was counted
    bool m_atEnd = false;
    bool m_quoted = false;
    bool m_hasValue = false;
    std::vector<OpenElement> m_stack;
    CVxString m_tag;
    const char* m_value = "";
    uint32_t m_valueLength = 0;
    mutable CVxString m_valueCopy;
    mutable bool m_valueCopyValid = false;
    uint32_t m_tagHash = 0;
    bool m_tagHashValid = false;
};
