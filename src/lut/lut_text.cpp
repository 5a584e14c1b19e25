#include "lut/lut_text.h"

#include "foundation/vx_string.h"
#include "platform/ascii.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A NUL-terminated copy of one line for the C library's scanners. Short lines
// stay on the stack; long ones share one buffer per thread that only grows,
// so that no line costs an allocation once the longest has been seen.
class LineCopy {
public:
    LineCopy(const char* line, size_t length) {
        char* target = m_small;
        if (length >= sizeof(m_small)) {
            static thread_local std::vector<char> large;
            if (large.size() <= length)
                large.resize(length + 1);
            target = large.data();
        }
        std::memcpy(target, line, length);
        target[length] = 0;
        m_text = target;
    }
    const char* Text() const { return m_text; }

private:
    char m_small[512];
    const char* m_text;
};

// Reads one plain decimal number ([sign] digits [. digits] [e|E [sign] digits])
// that ends the line or is followed by a blank; from_chars gives it the bits
// that strtof gives. Everything else (infinities, NaNs, hexadecimal numbers,
// values out of range, a number run into other text) is left to the C library.
bool ParseDecimalFloat(const char*& p, const char* end, float& out) {
    // from_chars takes a '-' but no '+'; either sign must come before a digit or a dot.
    const char* number = *p == '+' ? p + 1 : p;
    const char* digits = number == p && *p == '-' ? p + 1 : number;
    if (digits == end || !(ascii::IsDigit(*digits) || *digits == '.'))
        return false;
    float value;
    const std::from_chars_result result = std::from_chars(number, end, value);
    if (result.ec != std::errc() || (result.ptr < end && !ascii::IsBlank(*result.ptr)))
        return false;
    out = value;
    p = result.ptr;
    return true;
}

} // namespace

bool TextLines::Next() {
    while (m_next < m_end && ascii::IsLineBreak(*m_next))
        ++m_next;
    if (m_next >= m_end)
        return false;
    const char* start = m_next;
    const char* stop = std::min(NextOf('\n', m_nextFeed, start), NextOf('\r', m_nextReturn, start));
    m_next = stop;
    const std::string_view line = CVxString::Trim({start, static_cast<size_t>(stop - start)});
    m_line = line.data();
    m_length = line.size();
    return true;
}

const char* TextLines::NextOf(char c, const char*& found, const char* from) const {
    if (!found || found < from) {
        const void* at = std::memchr(from, c, static_cast<size_t>(m_end - from));
        found = at ? static_cast<const char*>(at) : m_end;
    }
    return found;
}

bool TextLines::IsExactly(const char* text) const {
    const size_t length = std::strlen(text);
    return length == m_length && std::memcmp(m_line, text, length) == 0;
}

bool TextLines::StartsWith(const char* prefix, bool caseSensitive) const {
    const size_t length = std::strlen(prefix);
    if (length > m_length)
        return false;
    if (caseSensitive)
        return std::memcmp(m_line, prefix, length) == 0;
    for (size_t i = 0; i < length; ++i)
        if (ascii::Upper(m_line[i]) != ascii::Upper(prefix[i]))
            return false;
    return true;
}

int ScanLine(const char* line, size_t length, const char* format, ...) {
    LineCopy copy(line, length);
    va_list args;
    va_start(args, format);
    const int result = std::vsscanf(copy.Text(), format, args);
    va_end(args);
    return result < 0 ? 0 : result;
}

int ScanFloatTriple(const char* line, size_t length, float out[3]) {
    const char* p = line;
    const char* end = line + length;
    float values[3];
    int count = 0;
    for (; count < 3; ++count) {
        while (p < end && ascii::IsBlank(*p))
            ++p;
        if (p == end)
            break;
        if (!ParseDecimalFloat(p, end, values[count]))
            return ScanLine(line, length, " %f %f %f ", &out[0], &out[1], &out[2]);
    }
    for (int k = 0; k < count; ++k)
        out[k] = values[k];
    return count;
}

bool LineHasLiteralAfterBlanks(const char* line, size_t length, const char* literal) {
    size_t i = 0;
    while (i < length && ascii::IsCSpace(line[i]))
        ++i;
    const size_t literalLength = std::strlen(literal);
    return length - i >= literalLength && std::memcmp(line + i, literal, literalLength) == 0;
}

size_t ByteOrderMarkLength(const uint8_t* data, size_t size) {
    return size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
}

bool FirstWordIs(const char* line, size_t length, const char* word) {
    size_t i = 0;
    while (i < length && ascii::IsCSpace(line[i]))
        ++i;
    size_t stop = i;
    while (stop < length && !ascii::IsCSpace(line[stop]) && line[stop] != 0)
        ++stop;
    const size_t wordLength = std::strlen(word);
    if (stop - i != wordLength)
        return false;
    for (size_t k = 0; k < wordLength; ++k)
        if (ascii::Upper(line[i + k]) != ascii::Upper(word[k]))
            return false;
    return true;
}
