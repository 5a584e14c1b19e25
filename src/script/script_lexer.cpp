#include "script/script_lexer.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace script {

namespace {

// Runs this long or longer are refused before any conversion.
constexpr size_t kMaxNumberLength = 255;
constexpr int kMaxHexDigits = 8;

bool IsLowerHexDigit(char c) {
    return ascii::IsDigit(c) || (c >= 'a' && c <= 'f');
}

bool IsExponentLetter(char c) {
    return c == 'e' || c == 'd';
}

bool IsNumberRunChar(char c) {
    return ascii::IsDigit(c) || c == '.' || IsExponentLetter(c) || c == '+' || c == '-';
}

bool IsSign(char c) {
    return c == '+' || c == '-';
}

} // namespace

void ScriptLexer::Advance(size_t count) {
    for (; count > 0 && m_pos < m_end; --count, ++m_pos)
        if (*m_pos == '\n')
            ++m_line;
}

void ScriptLexer::SkipBlank() {
    while (m_pos < m_end) {
        if (ascii::IsBlankOrBreak(*m_pos)) {
            Advance();
        } else if (Peek() == '/' && Peek(1) == '/') {
            while (m_pos < m_end && *m_pos != '\n')
                ++m_pos;
        } else if (Peek() == '/' && Peek(1) == '*') {
            Advance(2);
            while (m_pos < m_end && !(Peek() == '*' && Peek(1) == '/'))
                Advance();
            Advance(2);
        } else {
            return;
        }
    }
}

std::string_view ScriptLexer::ReadWord() {
    const char* start = m_pos;
    while (m_pos < m_end && (IsNameChar(*m_pos) || *m_pos == '.'))
        ++m_pos;
    return std::string_view(start, static_cast<size_t>(m_pos - start));
}

bool ScriptLexer::TakeKeyword(const char* keyword) {
    size_t length = std::strlen(keyword);
    for (size_t i = 0; i < length; ++i) {
        char c = Peek(i);
        if (!HasAhead(i) || ascii::Upper(c) != ascii::Upper(keyword[i]) || !IsNameStart(c))
            return false;
    }
    if (HasAhead(length) && (IsNameChar(Peek(length)) || Peek(length) == '.'))
        return false;
    Advance(length);
    return true;
}

const char* ScriptLexer::ReadHexNumber(double& value) {
    Advance(2);
    uint32_t result = 0;
    int digits = 0;
    while (m_pos < m_end && IsLowerHexDigit(*m_pos)) {
        if (digits == kMaxHexDigits)
            return "Value too large.";
        char c = *m_pos++;
        result = result * 16 + static_cast<uint32_t>(ascii::IsDigit(c) ? c - '0' : c - 'a' + 10);
        ++digits;
    }
    if (digits == 0 || (m_pos < m_end && (IsNameChar(*m_pos) || *m_pos == '.')))
        return "Invalid number.";
    value = result;
    return nullptr;
}

const char* ScriptLexer::ReadNumber(double& value) {
    if (Peek() == '0' && Peek(1) == 'x')
        return ReadHexNumber(value);

    // The run takes every character that can occur in a number, signs
    // included, so "8-2" is one malformed number, not a subtraction.
    const char* start = m_pos;
    while (m_pos < m_end && IsNumberRunChar(*m_pos)) {
        ++m_pos;
        if (static_cast<size_t>(m_pos - start) >= kMaxNumberLength)
            return "Number too long.";
    }
    size_t length = static_cast<size_t>(m_pos - start);

    char text[kMaxNumberLength + 1];
    int dots = 0, exponents = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = start[i];
        if (c == '.' && ++dots > 1)
            return "Invalid number.";
        if (IsExponentLetter(c)) {
            if (++exponents > 1)
                return "Invalid number.";
            c = 'e';
        }
        if (IsSign(c) && (i == 0 || !IsExponentLetter(start[i - 1])))
            return "Invalid number.";
        text[i] = c;
    }
    if (IsSign(start[length - 1]))
        return "Invalid number.";

    // Conversion stops where a valid prefix ends: a bare exponent letter ("1e")
    // adds nothing, and a point after the exponent ("1e5.3") ends the number.
    double result = 0.0;
    auto parsed = std::from_chars(text, text + length, result, std::chars_format::general);
    if (parsed.ec == std::errc::invalid_argument)
        return "Invalid number.";
    if (parsed.ec == std::errc::result_out_of_range) {
        // Too small underflows to 0, too large overflows to infinity.
        const char* exponent = static_cast<const char*>(std::memchr(text, 'e', length));
        result = exponent && exponent + 1 < text + length && exponent[1] == '-' ? 0.0 : HUGE_VAL;
    }
    value = result;
    return nullptr;
}

} // namespace script
