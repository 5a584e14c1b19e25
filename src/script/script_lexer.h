#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/ascii.h"

namespace script {

inline bool IsNameStart(char c) {
    return ascii::IsLetter(c) || c == '_';
}
inline bool IsNameChar(char c) {
    return IsNameStart(c) || ascii::IsDigit(c);
}

// Walks the script text: blanks and comments, words, numbers. The text may hold
// NUL bytes; only the length ends it.
class ScriptLexer {
public:
    ScriptLexer(const char* text, size_t length) : m_pos(text), m_end(text + length) {}

    // Skips white space, "//" comments and "/* */" comments (an unclosed one runs to the end).
    void SkipBlank();
    bool AtEnd() const { return m_pos >= m_end; }
    char Peek(size_t ahead = 0) const { return m_pos + ahead < m_end ? m_pos[ahead] : '\0'; }
    bool HasAhead(size_t ahead) const { return m_pos + ahead < m_end; }
    void Advance(size_t count = 1);
    uint32_t Line() const { return m_line; }

    // Letters, digits, "_" and "." from a name start on: a name with whatever
    // suffix follows it, checked by the caller.
    std::string_view ReadWord();
    // True (and consumed) when the next word is `keyword`, in any letter case.
    bool TakeKeyword(const char* keyword);

    // A number at a digit or ".": decimal or "0x" hexadecimal. Returns the
    // message of a malformed number, or null.
    const char* ReadNumber(double& value);

private:
    const char* ReadHexNumber(double& value);

    const char* m_pos;
    const char* m_end;
    uint32_t m_line = 1;
};

} // namespace script
