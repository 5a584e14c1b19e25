#include "foundation/vx_string.h"

#include "platform/ascii.h"
#include "platform/large_buffer.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Shared terminator for strings that own no buffer (moved-from strings); never written
// with anything but its own 0.
char g_emptyText[1] = {0};

constexpr uint32_t kMinimumCapacity = 32;

uint32_t BoundedLength(const char* text, uint32_t n) {
    if (n == CVxString::npos)
        return static_cast<uint32_t>(std::strlen(text));
    const void* zero = std::memchr(text, 0, n);
    return zero ? static_cast<uint32_t>(static_cast<const char*>(zero) - text) : n;
}

int CompareBytes(const char* a, uint32_t aLength, const char* b, uint32_t bLength) {
    uint32_t common = aLength < bLength ? aLength : bLength;
    int result = common ? std::memcmp(a, b, common) : 0;
    if (result != 0)
        return result;
    return aLength < bLength ? -1 : (aLength > bLength ? 1 : 0);
}

// Lower-case comparison, as the platform's case-insensitive string compare does it.
int CompareBytesNoCase(const char* a, uint32_t aLength, const char* b, uint32_t bLength) {
    uint32_t common = aLength < bLength ? aLength : bLength;
    for (uint32_t i = 0; i < common; ++i) {
        unsigned char ca = static_cast<unsigned char>(ascii::Lower(a[i]));
        unsigned char cb = static_cast<unsigned char>(ascii::Lower(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return aLength < bLength ? -1 : (aLength > bLength ? 1 : 0);
}

// Text prepared for the path comparison: backslashes only, one trailing backslash dropped.
std::string_view PreparePathText(const char* text, uint32_t length, std::string& storage) {
    storage.assign(text, length);
    for (char& c : storage)
        if (c == '/')
            c = '\\';
    if (!storage.empty() && storage.back() == '\\')
        storage.pop_back();
    return storage;
}

int CompareByMode(std::string_view a, std::string_view b, CVxString::ECompareMode mode) {
    if (mode == CVxString::eCaseSensitive)
        return CompareBytes(a.data(), static_cast<uint32_t>(a.size()), b.data(),
                            static_cast<uint32_t>(b.size()));
    return CompareBytesNoCase(a.data(), static_cast<uint32_t>(a.size()), b.data(),
                              static_cast<uint32_t>(b.size()));
}

void CollectNonDigits(std::string_view text, std::string& out) {
    out.clear();
    for (char c : text)
        if (!ascii::IsDigit(c))
            out.push_back(c);
}

void CollectDigitRuns(std::string_view text, std::vector<std::string_view>& runs) {
    runs.clear();
    size_t i = 0;
    while (i < text.size()) {
        if (!ascii::IsDigit(text[i])) {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < text.size() && ascii::IsDigit(text[i]))
            ++i;
        runs.push_back(text.substr(start, i - start));
    }
}

// Compares two digit runs as unsigned numbers of any size.
int CompareDigitRuns(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0')
        a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0')
        b.remove_prefix(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    int result = a.compare(b);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

int CompareNatural(std::string_view a, std::string_view b, CVxString::ECompareMode mode) {
    std::string reducedA, reducedB;
    CollectNonDigits(a, reducedA);
    CollectNonDigits(b, reducedB);
    std::vector<std::string_view> runsA, runsB;
    CollectDigitRuns(a, runsA);
    CollectDigitRuns(b, runsB);
    if (CompareByMode(reducedA, reducedB, mode) != 0 || runsA.size() != runsB.size())
        return CompareByMode(a, b, mode);
    for (size_t i = 0; i < runsA.size(); ++i)
        if (int result = CompareDigitRuns(runsA[i], runsB[i]))
            return result;
    return 0;
}

int CompareTexts(const char* a, uint32_t aLength, const char* b, uint32_t bLength,
                 CVxString::ECompareMode mode, bool natural) {
    std::string_view left(a, aLength), right(b, bLength);
    std::string leftStorage, rightStorage;
    if (mode == CVxString::ePath) {
        if (aLength == 0 || bLength == 0)
            return (aLength == 0 ? 0 : 1) - (bLength == 0 ? 0 : 1);
        left = PreparePathText(a, aLength, leftStorage);
        right = PreparePathText(b, bLength, rightStorage);
    }
    if (natural)
        return CompareNatural(left, right, mode);
    return CompareByMode(left, right, mode);
}

// The digits of a C integer conversion (white space, sign, decimal digits) with the
// magnitude saturated at 2^64 - 1. Returns the position after the digits, or null when
// no digit was found.
const char* ScanDecimal(const char* text, bool& negative, uint64_t& magnitude, bool& overflow) {
    negative = false;
    magnitude = 0;
    overflow = false;
    while (ascii::IsCSpace(*text))
        ++text;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    if (!ascii::IsDigit(*text))
        return nullptr;
    for (; ascii::IsDigit(*text); ++text) {
        uint64_t digit = static_cast<uint64_t>(*text - '0');
        if (magnitude > (UINT64_MAX - digit) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + digit;
    }
    return text;
}

// strtoul with a 32-bit unsigned long: out of range gives all bits set, a minus negates.
bool ConvertUnsigned32(const char* text, const char*& end, uint32_t& value) {
    bool negative, overflow;
    uint64_t magnitude;
    end = ScanDecimal(text, negative, magnitude, overflow);
    if (!end)
        return false;
    if (overflow || magnitude > 0xFFFFFFFFull)
        value = 0xFFFFFFFFu;
    else
        value = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(magnitude))
                         : static_cast<uint32_t>(magnitude);
    return true;
}

// strtol with a 32-bit long: out of range saturates at the sign's limit.
bool ConvertSigned32(const char* text, const char*& end, int32_t& value) {
    bool negative, overflow;
    uint64_t magnitude;
    end = ScanDecimal(text, negative, magnitude, overflow);
    if (!end)
        return false;
    if (negative)
        value = (overflow || magnitude > 0x80000000ull)
                    ? INT32_MIN
                    : static_cast<int32_t>(-static_cast<int64_t>(magnitude));
    else
        value =
            (overflow || magnitude > 0x7FFFFFFFull) ? INT32_MAX : static_cast<int32_t>(magnitude);
    return true;
}

// The 64-bit conversion of the framework: white space, sign, digits; whatever follows is
// ignored. Out of range saturates. False when there is no digit to convert.
bool ConvertInt64(const char* text, int64_t& value) {
    bool negative, overflow;
    uint64_t magnitude;
    if (!ScanDecimal(text, negative, magnitude, overflow))
        return false;
    if (negative)
        value = (overflow || magnitude > 0x8000000000000000ull)
                    ? INT64_MIN
                    : static_cast<int64_t>(0ull - magnitude);
    else
        value = (overflow || magnitude > static_cast<uint64_t>(INT64_MAX))
                    ? INT64_MAX
                    : static_cast<int64_t>(magnitude);
    return true;
}

bool ContainsByte(const char* set, char c) {
    return c != 0 && std::strchr(set, c) != nullptr;
}

// Texts of many megabytes (whole files, whole documents written) are filled
// from end to end once: large pages make that first touch cheap.
constexpr uint32_t kLargeText = 2u << 20;

char* NewBuffer(uint32_t capacity) {
    if (capacity < kLargeText)
        return new char[capacity];
    if (void* block = platform::NewLargeBlock(capacity))
        return static_cast<char*>(block);
    throw std::bad_alloc();
}

void DeleteBuffer(char* buffer, uint32_t capacity) {
    if (capacity < kLargeText)
        delete[] buffer;
    else
        platform::DeleteLargeBlock(buffer, capacity);
}

} // namespace

// --- construction and storage ---

CVxString::CVxString(CapacityTag, uint32_t allocatedBytes)
    : m_data(nullptr), m_buffer(NewBuffer(allocatedBytes)), m_length(0),
      m_capacity(allocatedBytes) {
    m_data = m_buffer;
    m_data[0] = 0;
}

CVxString::CVxString() : CVxString(CapacityTag{}, kMinimumCapacity + 1) {}

CVxString::CVxString(const char* text, uint32_t n) : CVxString() {
    Assign(text, n);
}

CVxString::CVxString(const CVxString& other) : CVxString(CapacityTag{}, other.m_length + 1) {
    std::memcpy(m_data, other.m_data, other.m_length);
    m_length = other.m_length;
    m_data[m_length] = 0;
}

CVxString::CVxString(CVxString&& other) noexcept
    : m_data(g_emptyText), m_buffer(nullptr), m_length(0), m_capacity(0) {
    Adopt(other);
}

CVxString::~CVxString() {
    DeleteBuffer(m_buffer, m_capacity);
}

void CVxString::Adopt(CVxString& other) noexcept {
    m_data = other.m_data;
    m_buffer = other.m_buffer;
    m_length = other.m_length;
    m_capacity = other.m_capacity;
    other.m_data = g_emptyText;
    other.m_buffer = nullptr;
    other.m_length = 0;
    other.m_capacity = 0;
}

CVxString& CVxString::operator=(const CVxString& other) {
    if (this != &other)
        Assign(other.m_data, other.m_length);
    return *this;
}

CVxString& CVxString::operator=(CVxString&& other) noexcept {
    if (this == &other)
        return *this;
    DeleteBuffer(m_buffer, m_capacity);
    Adopt(other);
    return *this;
}

CVxString& CVxString::operator=(const char* text) {
    Assign(text);
    return *this;
}

CVxString CVxString::WithCapacity(uint32_t capacity) {
    return CVxString(CapacityTag{}, capacity + 1);
}

void CVxString::Grow(uint32_t n) {
    uint32_t capacity = m_capacity + m_capacity / 2;
    if (capacity < n)
        capacity = n;
    if (capacity < kMinimumCapacity)
        capacity = kMinimumCapacity;
    char* buffer = NewBuffer(capacity);
    std::memcpy(buffer, m_data, m_length);
    buffer[m_length] = 0;
    DeleteBuffer(m_buffer, m_capacity);
    m_buffer = buffer;
    m_data = buffer;
    m_capacity = capacity;
}

void CVxString::Reserve(uint32_t n) {
    if (n > m_capacity || !m_buffer) {
        Grow(n);
        return;
    }
    if (Offset() + n > m_capacity) {
        std::memmove(m_buffer, m_data, m_length + 1);
        m_data = m_buffer;
    }
}

char* CVxString::GetBuffer(uint32_t n) {
    Reserve(n + 1);
    m_data[n] = 0;
    return m_data;
}

void CVxString::ReleaseBuffer() {
    if (m_capacity == 0)
        return;
    m_buffer[m_capacity - 1] = 0;
    m_length = static_cast<uint32_t>(std::strlen(m_data));
}

void CVxString::SetLength(uint32_t n) {
    if (m_capacity == 0 || Offset() + n >= m_capacity)
        Reserve(n + 1);
    m_length = n;
    m_data[n] = 0;
}

void CVxString::Empty() {
    m_length = 0;
    if (!m_buffer) {
        m_data = g_emptyText;
        return;
    }
    m_data = m_buffer;
    m_data[0] = 0;
}

// --- assignment and concatenation ---

void CVxString::Assign(const char* text, uint32_t n) {
    if (!text) {
        Empty();
        return;
    }
    uint32_t length = BoundedLength(text, n);
    if (length + 1 > m_capacity) {
        // The source may live in our own buffer: copy before freeing it.
        uint32_t capacity = m_capacity + m_capacity / 2;
        if (capacity < length + 1)
            capacity = length + 1;
        if (capacity < kMinimumCapacity)
            capacity = kMinimumCapacity;
        char* buffer = NewBuffer(capacity);
        std::memcpy(buffer, text, length);
        DeleteBuffer(m_buffer, m_capacity);
        m_buffer = buffer;
        m_capacity = capacity;
    } else {
        std::memmove(m_buffer, text, length);
    }
    m_data = m_buffer;
    m_length = length;
    m_data[length] = 0;
}

void CVxString::Append(const char* text, uint32_t n) {
    if (!text)
        return;
    uint32_t length = BoundedLength(text, n);
    if (length == 0)
        return;
    bool inside = m_buffer && text >= m_buffer && text < m_buffer + m_capacity;
    if (inside) {
        std::string copy(text, length);
        Reserve(m_length + length + 1);
        std::memcpy(m_data + m_length, copy.data(), length);
    } else {
        Reserve(m_length + length + 1);
        std::memcpy(m_data + m_length, text, length);
    }
    m_length += length;
    m_data[m_length] = 0;
}

void CVxString::Append(char c) {
    Reserve(m_length + 2);
    m_data[m_length++] = c;
    m_data[m_length] = 0;
}

void CVxString::Assign16(const uint16_t* text) {
    Empty();
    Append16(text);
}

void CVxString::Append16(const uint16_t* text) {
    if (!text)
        return;
    uint32_t length = 0;
    while (text[length])
        ++length;
    Reserve(m_length + length + 1);
    for (uint32_t i = 0; i < length; ++i)
        m_data[m_length + i] = static_cast<char>(text[i] & 0xFF);
    m_length += length;
    m_data[m_length] = 0;
}

void CVxString::RemoveFront(uint32_t n) {
    if (n >= m_length) {
        Empty();
        return;
    }
    m_data += n;
    m_length -= n;
}

void CVxString::RemoveBack(uint32_t n) {
    if (n >= m_length) {
        Empty();
        return;
    }
    m_length -= n;
    m_data[m_length] = 0;
}

CVxString CVxString::Left(uint32_t n) const {
    return CVxString(m_data, n < m_length ? n : m_length);
}

CVxString CVxString::Mid(uint32_t start, uint32_t count) const {
    if (start >= m_length)
        return CVxString();
    uint32_t rest = m_length - start;
    return CVxString(m_data + start, count < rest ? count : rest);
}

CVxString CVxString::Right(uint32_t n) const {
    if (n >= m_length)
        return CVxString(m_data, m_length);
    return CVxString(m_data + m_length - n, n);
}

// --- searching and testing ---

int CVxString::Find(char c, uint32_t from) const {
    if (from >= m_length)
        return -1;
    const void* hit = std::memchr(m_data + from, c, m_length - from);
    return hit ? static_cast<int>(static_cast<const char*>(hit) - m_data) : -1;
}

int CVxString::Find(const char* text, uint32_t from) const {
    if (!text || from >= m_length)
        return -1;
    size_t position = View().find(text, from);
    return position == std::string_view::npos ? -1 : static_cast<int>(position);
}

int CVxString::ReverseFind(char c, uint32_t from) const {
    if (m_length == 0)
        return -1;
    uint32_t last = from < m_length - 1 ? from : m_length - 1;
    for (int i = static_cast<int>(last); i >= 0; --i)
        if (m_data[i] == c)
            return i;
    return -1;
}

int CVxString::FindOneOf(const char* set, uint32_t from) const {
    for (uint32_t i = from; i < m_length; ++i)
        if (ContainsByte(set, m_data[i]))
            return static_cast<int>(i);
    return -1;
}

int CVxString::ReverseFindOneOf(const char* set, uint32_t from) const {
    if (m_length == 0)
        return -1;
    uint32_t last = from < m_length - 1 ? from : m_length - 1;
    for (int i = static_cast<int>(last); i >= 0; --i)
        if (ContainsByte(set, m_data[i]))
            return i;
    return -1;
}

uint32_t CVxString::Count(char c) const {
    uint32_t count = 0;
    for (uint32_t i = 0; i < m_length; ++i)
        count += m_data[i] == c;
    return count;
}

bool CVxString::ConsistsOnly(const char* set) const {
    for (uint32_t i = 0; i < m_length; ++i)
        if (!ContainsByte(set, m_data[i]))
            return false;
    return true;
}

bool CVxString::StartsWith(const char* prefix, bool caseSensitive) const {
    uint32_t length = static_cast<uint32_t>(std::strlen(prefix));
    if (length == 0)
        return m_length == 0;
    if (length > m_length)
        return false;
    if (caseSensitive)
        return std::memcmp(m_data, prefix, length) == 0;
    return CompareBytesNoCase(m_data, length, prefix, length) == 0;
}

bool CVxString::EndsWith(const char* suffix, bool caseSensitive) const {
    uint32_t length = static_cast<uint32_t>(std::strlen(suffix));
    if (length == 0)
        return m_length == 0;
    if (length > m_length)
        return false;
    const char* tail = m_data + m_length - length;
    if (caseSensitive)
        return std::memcmp(tail, suffix, length) == 0;
    return CompareBytesNoCase(tail, length, suffix, length) == 0;
}

bool CVxString::IsPlainName() const {
    return ConsistsOnly("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.");
}

bool CVxString::IsFileName() const {
    return ConsistsOnly(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.^&'@()[],$=!-#{}%+ ");
}

bool CVxString::IsPathName() const {
    if (!ConsistsOnly(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.^&'@()[],$=!-"
            "#{}%+ :\\"))
        return false;
    uint32_t colons = Count(':');
    return colons == 0 || (colons == 1 && m_length > 1 && m_data[1] == ':');
}

// --- changing ---

void CVxString::MakeUpper() {
    for (uint32_t i = 0; i < m_length; ++i)
        m_data[i] = ascii::Upper(m_data[i]);
}

void CVxString::MakeLower() {
    for (uint32_t i = 0; i < m_length; ++i)
        m_data[i] = ascii::Lower(m_data[i]);
}

uint32_t CVxString::Replace(char from, char to) {
    uint32_t count = 0;
    for (uint32_t i = 0; i < m_length; ++i) {
        if (m_data[i] != from)
            continue;
        m_data[i] = to;
        ++count;
    }
    return count;
}

uint32_t CVxString::Replace(const char* find, const char* with, bool caseInsensitive) {
    uint32_t findLength = find ? static_cast<uint32_t>(std::strlen(find)) : 0;
    if (findLength == 0 || findLength > m_length)
        return 0;
    uint32_t withLength = with ? static_cast<uint32_t>(std::strlen(with)) : 0;
    std::string result;
    uint32_t count = 0;
    uint32_t i = 0;
    while (i + findLength <= m_length) {
        bool hit = caseInsensitive
                       ? CompareBytesNoCase(m_data + i, findLength, find, findLength) == 0
                       : std::memcmp(m_data + i, find, findLength) == 0;
        if (!hit) {
            result.push_back(m_data[i++]);
            continue;
        }
        result.append(with ? with : "", withLength);
        i += findLength;
        ++count;
    }
    if (count == 0)
        return 0;
    result.append(m_data + i, m_length - i);
    Assign(result.data(), static_cast<uint32_t>(result.size()));
    return count;
}

void CVxString::RemoveChars(const char* set) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < m_length; ++i)
        if (!ContainsByte(set, m_data[i]))
            m_data[kept++] = m_data[i];
    m_length = kept;
    m_data[m_length] = 0;
}

void CVxString::Trim(const char* set) {
    const std::string_view kept = Trim(View(), set);
    m_length = static_cast<uint32_t>(kept.data() - m_data + kept.size());
    m_data[m_length] = 0;
    RemoveFront(static_cast<uint32_t>(kept.data() - m_data));
}

void CVxString::ConvertLineBreaks(int mode) {
    if (mode == 2) {
        ConvertLineBreaksToCrLf();
        return;
    }
    // Every break becomes one LF, so the text shrinks or keeps its length and is
    // rewritten in place. Breaks pair from left to right and only a CR changes
    // anything: up to the first CR the text stays as it is, and an LF just
    // before that CR is still unpaired, so the two make one break.
    const char* firstCr = static_cast<const char*>(std::memchr(m_data, '\r', m_length));
    if (!firstCr)
        return;
    uint32_t from = static_cast<uint32_t>(firstCr - m_data);
    if (from > 0 && m_data[from - 1] == '\n')
        --from;
    uint32_t to = from;
    while (from < m_length) {
        const char c = m_data[from++];
        if (c != '\r' && c != '\n') {
            m_data[to++] = c;
            continue;
        }
        if (from < m_length && m_data[from] == (c == '\r' ? '\n' : '\r'))
            ++from;
        m_data[to++] = '\n';
    }
    m_length = to;
    m_data[m_length] = 0;
}

void CVxString::ConvertLineBreaksToCrLf() {
    std::string result;
    result.reserve(m_length + m_length / 8 + 16);
    for (uint32_t i = 0; i < m_length; ++i) {
        char c = m_data[i];
        if (c != '\r' && c != '\n') {
            result.push_back(c);
            continue;
        }
        char partner = c == '\r' ? '\n' : '\r';
        if (i + 1 < m_length && m_data[i + 1] == partner)
            ++i;
        result.append("\r\n");
    }
    Assign(result.data(), static_cast<uint32_t>(result.size()));
}

// --- comparison ---

int CVxString::Compare(const CVxString& other, ECompareMode mode, bool natural) const {
    return CompareTexts(m_data, m_length, other.m_data, other.m_length, mode, natural);
}

int CVxString::Compare(const char* other, ECompareMode mode, bool natural) const {
    const char* text = other ? other : "";
    return CompareTexts(m_data, m_length, text, static_cast<uint32_t>(std::strlen(text)), mode,
                        natural);
}

bool CVxString::ExtractToken(const char* delimiters, CVxString& out, bool honourQuotes,
                             char escape) {
    if (m_length == 0)
        return false;
    uint32_t start = 0;
    while (start < m_length && ContainsByte(delimiters, m_data[start]))
        ++start;
    if (start == m_length) {
        Empty();
        return false;
    }
    uint32_t end = start;
    bool quoted = false;
    for (; end < m_length; ++end) {
        char c = m_data[end];
        if (honourQuotes && c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted || !ContainsByte(delimiters, c))
            continue;
        if (escape != 0 && end > start && m_data[end - 1] == escape)
            continue;
        break;
    }
    uint32_t next = end;
    while (next < m_length && ContainsByte(delimiters, m_data[next]))
        ++next;
    out.Assign(m_data + start, end - start);
    RemoveFront(next);
    return true;
}

// The star-run matcher; the literal after a star is taken at its first position only.
static bool MatchesOneWildcard(const std::string& name, const std::string& pattern) {
    size_t ni = 0, pi = 0;
    while (ni < name.size() && pi < pattern.size()) {
        char p = pattern[pi];
        if (p == '?') {
            ++ni;
            ++pi;
            continue;
        }
        if (p != '*') {
            if (p != name[ni])
                return false;
            ++ni;
            ++pi;
            continue;
        }
        size_t skip = 0;
        while (pi < pattern.size() && (pattern[pi] == '*' || pattern[pi] == '?')) {
            skip += pattern[pi] == '?';
            ++pi;
        }
        size_t runEnd = pattern.find_first_of("*?", pi);
        if (runEnd == std::string::npos)
            runEnd = pattern.size();
        size_t runLength = runEnd - pi;
        if (runLength == 0)
            return true;
        size_t found = ni + skip <= name.size()
                           ? name.find(std::string_view(pattern).substr(pi, runLength), ni + skip)
                           : std::string::npos;
        if (found == std::string::npos)
            return false;
        ni = found + runLength;
        pi = runEnd;
    }
    if (ni < name.size())
        return false;
    while (pi < pattern.size() && pattern[pi] == '*')
        ++pi;
    return pi == pattern.size();
}

bool CVxString::MatchesWildcards(const CVxString& list) const {
    std::string name(View());
    for (char& c : name)
        c = ascii::Upper(c);
    CVxString rest(list);
    CVxString alternative;
    while (rest.ExtractToken(";,", alternative)) {
        alternative.Replace("*.*", "*");
        if (alternative == "*")
            return true;
        alternative.MakeUpper();
        if (MatchesOneWildcard(name, std::string(alternative.m_data, alternative.m_length)))
            return true;
    }
    return false;
}

// --- number conversions ---

bool CVxString::ToUInt32(uint32_t& out, uint32_t min, uint32_t max) const {
    const char* end = nullptr;
    uint32_t value = 0;
    if (!ConvertUnsigned32(m_data, end, value) || end != m_data + m_length)
        return false;
    if (value < min || value > max)
        return false;
    out = value;
    return true;
}

bool CVxString::ToInt32(int32_t& out, int32_t min, int32_t max) const {
    const char* end = nullptr;
    int32_t value = 0;
    if (!ConvertSigned32(m_data, end, value) || end != m_data + m_length)
        return false;
    if (value < min || value > max)
        return false;
    out = value;
    return true;
}

bool CVxString::ToUInt8(uint8_t& out) const {
    uint32_t value = 0;
    if (!ToUInt32(value, 0, 255))
        return false;
    out = static_cast<uint8_t>(value);
    return true;
}

bool CVxString::ToInt64(int64_t& out, int64_t min, int64_t max) const {
    int64_t value;
    if (!ConvertInt64(m_data, value) || value < min || value > max)
        return false;
    out = value;
    return true;
}

bool CVxString::ToUInt64(uint64_t& out, uint64_t min, uint64_t max) const {
    int64_t converted;
    if (!ConvertInt64(m_data, converted))
        return false;
    const uint64_t value = static_cast<uint64_t>(converted);
    if (value < min || value > max)
        return false;
    out = value;
    return true;
}

bool CVxString::ToDouble(double& out, double min, double max) const {
    char* end = nullptr;
    double value = std::strtod(m_data, &end);
    if (end == m_data || end != m_data + m_length)
        return false;
    if (value < min || value > max)
        return false;
    out = value;
    return true;
}

bool CVxString::ToBool(bool& out) const {
    if (Compare("1") == 0 || EqualsNoCase("true") || EqualsNoCase("on") || EqualsNoCase("yes")) {
        out = true;
        return true;
    }
    if (Compare("0") == 0 || EqualsNoCase("false") || EqualsNoCase("off") || EqualsNoCase("no")) {
        out = false;
        return true;
    }
    return false;
}

// --- formatting ---

CVxString CVxString::FromInt(int32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%d", value);
    return CVxString(text);
}

CVxString CVxString::FromUInt(uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%u", value);
    return CVxString(text);
}

CVxString CVxString::FromInt64(int64_t value) {
    char text[22];
    std::snprintf(text, sizeof text, "%" PRId64, value);
    return CVxString(text);
}

CVxString CVxString::FromUInt64(uint64_t value) {
    char text[22];
    std::snprintf(text, sizeof text, "%" PRIu64, value);
    return CVxString(text);
}

static void FormatInto(CVxString& target, uint32_t at, const char* format, va_list arguments) {
    uint32_t limit = 1024;
    for (;;) {
        char* buffer = target.GetBuffer(at + limit) + at;
        va_list copy;
        va_copy(copy, arguments);
        int written = std::vsnprintf(buffer, limit, format, copy);
        va_end(copy);
        if (written < 0) {
            target.SetLength(at);
            return;
        }
        if (static_cast<uint32_t>(written) < limit) {
            target.SetLength(at + static_cast<uint32_t>(written));
            return;
        }
        limit = (static_cast<uint32_t>(written) / 1024 + 1) * 1024;
    }
}

void CVxString::Format(const char* format, ...) {
    Empty();
    va_list arguments;
    va_start(arguments, format);
    FormatInto(*this, 0, format, arguments);
    va_end(arguments);
}

void CVxString::TrimNumberText() {
    char probe[32];
    std::snprintf(probe, sizeof probe, "%f", 0.0);
    char separator = probe[1];
    uint32_t leading = 0;
    while (leading < m_length && m_data[leading] == '0' &&
           !(leading + 1 < m_length && m_data[leading + 1] == separator))
        ++leading;
    RemoveFront(leading);
    if (Find(separator) >= 0) {
        uint32_t end = m_length;
        while (end > 0 && m_data[end - 1] == '0')
            --end;
        if (end > 0 && m_data[end - 1] == separator)
            --end;
        RemoveBack(m_length - end);
    }
    if (m_length == 0)
        Assign("0");
}

CVxString operator+(const CVxString& a, const CVxString& b) {
    CVxString result(a);
    result.Append(b);
    return result;
}

CVxString operator+(const CVxString& a, const char* b) {
    CVxString result(a);
    result.Append(b);
    return result;
}

CVxString operator+(const char* a, const CVxString& b) {
    CVxString result(a);
    result.Append(b);
    return result;
}
