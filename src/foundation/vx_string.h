#pragma once

#include "platform/ascii.h"

#include <cstdint>
#include <cstring>
#include <string_view>

// The framework's 8-bit byte string. No encoding is interpreted; case rules are
// those of toupper/tolower in the "C" locale. data[length] is always 0 and
// data - buffer + length < capacity; removing from the front only moves data.
class CVxString {
public:
    static constexpr uint32_t npos = 0xFFFFFFFFu;

    // Comparison modes of Compare; the enumerators are reachable as CVxString::eCaseSensitive.
    enum class ECompareMode : uint8_t { eCaseSensitive, eCaseInsensitive, ePath };
    using enum ECompareMode;

    CVxString();                                    // room for 32 characters, empty
    CVxString(const char* text, uint32_t n = npos); // assign rules
    CVxString(const CVxString& other);              // capacity = length + 1
    CVxString(CVxString&& other) noexcept;
    ~CVxString();

    CVxString& operator=(const CVxString& other);
    CVxString& operator=(CVxString&& other) noexcept;
    CVxString& operator=(const char* text);

    // An empty string with capacity c: allocates c + 1 bytes.
    static CVxString WithCapacity(uint32_t capacity);

    // --- access ---
    const char* c_str() const { return m_data; }
    const char* Data() const { return m_data; }
    uint32_t Length() const { return m_length; }
    // Valid until the string changes.
    std::string_view View() const { return {m_data, m_length}; }
    // Bytes allocated in the buffer, the terminating 0 included.
    uint32_t Capacity() const { return m_capacity; }
    bool IsEmpty() const { return m_length == 0; }
    char operator[](uint32_t index) const { return m_data[index]; }

    // --- storage ---
    void Reserve(uint32_t n);    // n bytes from data on, the 0 included; moves the text or grows
    char* GetBuffer(uint32_t n); // reserve n + 1, data[n] = 0, hands out data
    void ReleaseBuffer();        // length = position of the first 0 byte
    void SetLength(uint32_t n);  // n <= capacity room; writes the terminating 0
    void Empty();                // length 0, data back at the buffer start

    // --- assignment and concatenation ---
    void Assign(const char* text, uint32_t n = npos);
    void Append(const char* text, uint32_t n = npos);
    void Append(const CVxString& other) { Append(other.m_data, other.m_length); }
    void Append(char c);
    void Assign16(const uint16_t* text);
    void Append16(const uint16_t* text);
    CVxString& operator+=(const char* text) {
        Append(text);
        return *this;
    }
    CVxString& operator+=(const CVxString& other) {
        Append(other);
        return *this;
    }
    CVxString& operator+=(char c) {
        Append(c);
        return *this;
    }

    void RemoveFront(uint32_t n);
    void RemoveBack(uint32_t n);
    CVxString Left(uint32_t n) const;
    CVxString Mid(uint32_t start, uint32_t count = npos) const;
    CVxString Right(uint32_t n) const;

    // --- searching and testing (positions are indices, -1 when not found) ---
    int Find(char c, uint32_t from = 0) const;
    int Find(const char* text, uint32_t from = 0) const;
    int ReverseFind(char c, uint32_t from = npos) const;
    int FindOneOf(const char* set, uint32_t from = 0) const;
    int ReverseFindOneOf(const char* set, uint32_t from = npos) const;
    uint32_t Count(char c) const;
    bool ConsistsOnly(const char* set) const;
    bool StartsWith(const char* prefix, bool caseSensitive = false) const;
    bool EndsWith(const char* suffix, bool caseSensitive = false) const;
    bool IsPlainName() const;
    bool IsFileName() const;
    bool IsPathName() const;

    // --- changing ---
    void MakeUpper();
    void MakeLower();
    uint32_t Replace(char from, char to);
    uint32_t Replace(const char* find, const char* with, bool caseInsensitive = false);
    void RemoveChars(const char* set);
    // Spaces, tabs, CR and LF: what Trim removes unless given another set.
    static constexpr char kBlanks[] = " \t\r\n";
    // Removes the bytes of `set` from both ends; a 0 byte is never removed.
    void Trim(const char* set = kBlanks);
    // The same rule on any text. The text readers trim every line they read, so the
    // default set is tested in place rather than searched.
    static std::string_view Trim(std::string_view text, const char* set = kBlanks) {
        const auto inSet = [set](char c) {
            return set == kBlanks ? ascii::IsBlankOrBreak(c)
                                  : c != 0 && std::strchr(set, c) != nullptr;
        };
        while (!text.empty() && inSet(text.back()))
            text.remove_suffix(1);
        while (!text.empty() && inSet(text.front()))
            text.remove_prefix(1);
        return text;
    }
    void SlashesToBackslashes() { Replace('/', '\\'); }
    // Mode 0 or 1: "\r\n", "\n\r" and a lone "\r" become "\n", in place; mode 2: every
    // break becomes "\r\n".
    void ConvertLineBreaks(int mode);

    // --- comparison ---
    int Compare(const CVxString& other, ECompareMode mode = eCaseSensitive,
                bool natural = false) const;
    int Compare(const char* other, ECompareMode mode = eCaseSensitive, bool natural = false) const;
    bool operator==(const CVxString& other) const { return Compare(other) == 0; }
    bool operator==(const char* other) const { return Compare(other) == 0; }
    bool EqualsNoCase(const char* other) const { return Compare(other, eCaseInsensitive) == 0; }

    // Cuts the next token off the front; quotes stay in the token.
    bool ExtractToken(const char* delimiters, CVxString& out, bool honourQuotes = false,
                      char escape = 0);

    // Name against a list of wildcard alternatives separated by ";" or ",". No backtracking.
    bool MatchesWildcards(const CVxString& list) const;

    // --- number conversions: the whole text must convert and lie in [min, max] ---
    // As strtoul and strtol read base 10 with a 32-bit long: leading white space and a
    // sign are allowed; out of range, the unsigned value is 0xFFFFFFFF and the signed one
    // its sign's limit, and a minus negates the unsigned value modulo 2^32.
    bool ToUInt32(uint32_t& out, uint32_t min = 0, uint32_t max = 0xFFFFFFFFu) const;
    bool ToInt32(int32_t& out, int32_t min = INT32_MIN, int32_t max = INT32_MAX) const;
    bool ToUInt8(uint8_t& out) const;
    bool ToInt64(int64_t& out, int64_t min = INT64_MIN, int64_t max = INT64_MAX) const;
    bool ToUInt64(uint64_t& out, uint64_t min = 0, uint64_t max = UINT64_MAX) const;
    bool ToDouble(double& out, double min = -1.7976931348623157e308,
                  double max = 1.7976931348623157e308) const;
    bool ToBool(bool& out) const;

    // --- formatting (C locale) ---
    static CVxString FromInt(int32_t value);
    static CVxString FromUInt(uint32_t value);
    static CVxString FromInt64(int64_t value);
    static CVxString FromUInt64(uint64_t value);
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Tidies a fixed-point number text: 001.2500 -> 1.25, 0.000 -> 0, 100 stays.
    void TrimNumberText();

private:
    struct CapacityTag {};
    CVxString(CapacityTag, uint32_t allocatedBytes);
    void Grow(uint32_t n);
    void Adopt(CVxString& other) noexcept;
    void ConvertLineBreaksToCrLf();
    // How far removals from the front have moved data into the buffer.
    uint32_t Offset() const { return m_buffer ? static_cast<uint32_t>(m_data - m_buffer) : 0; }

    char* m_data;
    char* m_buffer;
    uint32_t m_length;
    uint32_t m_capacity;
};

CVxString operator+(const CVxString& a, const CVxString& b);
CVxString operator+(const CVxString& a, const char* b);
CVxString operator+(const char* a, const CVxString& b);
