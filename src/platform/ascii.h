#pragma once

#include <string>
#include <string_view>

// Character classes and letter case as the "C" locale defines them, for bytes of any value:
// a byte outside ASCII is no letter, digit or space and keeps its case. Header-only so that
// every layer, this one included, reads text by the same rules.
namespace ascii {

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Space or tab.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

inline bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// Space, tab, CR or LF: the white space of the markup dialect and of the text LUT formats.
inline bool IsBlankOrBreak(char c) {
    return IsBlank(c) || IsLineBreak(c);
}

// What isspace accepts: IsBlankOrBreak plus vertical tab and form feed.
inline bool IsCSpace(char c) {
    return IsBlankOrBreak(c) || c == '\v' || c == '\f';
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

inline std::string UpperCopy(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = Upper(c);
    return upper;
}

} // namespace ascii
