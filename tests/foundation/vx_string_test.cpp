#include "foundation/name_table.h"
#include "foundation/vx_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

int Sign(int value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

std::string Text(const CVxString& s) {
    return std::string(s.View());
}

} // namespace

TEST(VxString, StorageAndEmbeddedZeros) {
    EXPECT_EQ(Text(CVxString("abc", 2)), "ab");
    const char block[5] = {'a', 'b', 0, 'c', 'd'};
    CVxString cut(block, 5);
    EXPECT_EQ(cut.Length(), 2u);
    cut.Append(block, 5);
    EXPECT_EQ(Text(cut), "abab");
    CVxString copy(cut);
    EXPECT_TRUE(CVxString(nullptr).IsEmpty());

    // Room only before the text: the text moves to the buffer start.
    CVxString s = CVxString::WithCapacity(9);
    s.Assign("abcdefgh");
    s.RemoveFront(4);
    s.Append("xyz");
    EXPECT_EQ(Text(s), "efghxyz");
    EXPECT_EQ(s.Capacity(), 10u);
    s.Append(std::string(90, 'y').c_str());
    EXPECT_EQ(Text(s), "efghxyz" + std::string(90, 'y'));

    char* buffer = s.GetBuffer(10);
    std::memcpy(buffer, "hi\0there", 9);
    s.ReleaseBuffer();
    EXPECT_EQ(Text(s), "hi");
    s.RemoveFront(5);
    EXPECT_TRUE(s.IsEmpty());

    CVxString moved(std::move(copy));
    EXPECT_EQ(Text(moved), "abab");
    copy.Reserve(0); // a moved-from string stays usable
    copy.Append('z');
    EXPECT_EQ(Text(copy), "z");

    CVxString word("abcdef");
    EXPECT_EQ(Text(word.Left(2)), "ab");
    EXPECT_EQ(Text(word.Mid(4, 10)), "ef");
    EXPECT_TRUE(word.Mid(6).IsEmpty());
    word.RemoveBack(2);
    EXPECT_EQ(Text(word), "abcd");
    EXPECT_EQ(word.ReverseFind('a', 99), 0);
    EXPECT_EQ(word.Find('d', 4), -1);
}

// Without regard to case, names compare in lower case.
TEST(VxString, Comparison) {
    using S = CVxString;
    struct Case {
        const char* a;
        const char* b;
        S::ECompareMode mode;
        int sign;
    } cases[] = {
        {"C:\\x\\", "c:/X", S::ePath, 0},           {".LUT", ".lut", S::ePath, 0},
        {"_", "A", S::eCaseSensitive, 1},           {"", "a", S::ePath, -1},
        {"_", "A", S::eCaseInsensitive, -1},        {"a", "", S::ePath, 1},
        {"abc", "ab", S::eCaseSensitive, 1},        {"", "", S::ePath, 0},
        {"file10", "file9", S::eCaseSensitive, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sign(CVxString(c.a).Compare(c.b, c.mode)), c.sign)
            << c.a << " / " << c.b << " mode " << int(c.mode);
}

TEST(VxString, ExtractToken) {
    struct Case {
        const char* text;
        const char* delimiters;
        bool quotes;
        std::vector<std::string> tokens;
    } cases[] = {
        {"  a  b", " ", false, {"a", "b"}},
        {"\"x y\" z", " ", true, {"\"x y\"", "z"}},
        {"\"x y\" z", " ", false, {"\"x", "y\"", "z"}},
        {"\"x y z", " ", true, {"\"x y z"}},
        {";;*.look,;*.lut;", ";,", false, {"*.look", "*.lut"}},
        {"   ", " ", false, {}},
    };
    for (const Case& c : cases) {
        CVxString text(c.text), token;
        std::vector<std::string> tokens;
        while (text.ExtractToken(c.delimiters, token, c.quotes))
            tokens.push_back(Text(token));
        EXPECT_EQ(tokens, c.tokens) << c.text;
        EXPECT_TRUE(text.IsEmpty()) << c.text;
    }
}

// The 32-bit conversions read as strtoul and strtol do with a 32-bit long.
TEST(VxString, Conversions32) {
    const struct {
        const char* text;
        bool ok;
        uint32_t unsignedValue;
        int32_t signedValue;
    } cases[] = {
        {"010", true, 10, 10},
        {"+16", true, 16, 16},
        {" \t7", true, 7, 7},
        {"0", true, 0, 0},
        {"-1", true, 0xFFFFFFFFu, -1},
        {"4294967295", true, 0xFFFFFFFFu, INT32_MAX},
        {"4294967296", true, 0xFFFFFFFFu, INT32_MAX},
        {"-4294967288", true, 8, INT32_MIN},
        {"2147483648", true, 0x80000000u, INT32_MAX},
        {"-2147483649", true, 0x7FFFFFFFu, INT32_MIN},
        {"99999999999999999999999", true, 0xFFFFFFFFu, INT32_MAX},
        {"-99999999999999999999999", true, 0xFFFFFFFFu, INT32_MIN},
        {"12x", false, 0, 0},
        {"1 ", false, 0, 0},
        {"", false, 0, 0},
        {" ", false, 0, 0},
        {"- 5", false, 0, 0},
    };
    for (const auto& c : cases) {
        uint32_t unsignedValue = 12345;
        int32_t signedValue = 12345;
        EXPECT_EQ(CVxString(c.text).ToUInt32(unsignedValue), c.ok) << c.text;
        EXPECT_EQ(CVxString(c.text).ToInt32(signedValue), c.ok) << c.text;
        EXPECT_EQ(unsignedValue, c.ok ? c.unsignedValue : 12345u) << c.text;
        EXPECT_EQ(signedValue, c.ok ? c.signedValue : 12345) << c.text;
    }
    uint32_t ranged = 9;
    uint8_t byte = 9;
    EXPECT_FALSE(CVxString("7").ToUInt32(ranged, 8, 9));
    EXPECT_FALSE(CVxString("256").ToUInt8(byte));
    EXPECT_EQ(std::pair(ranged, byte), std::pair(9u, uint8_t(9)));
}

TEST(VxString, NumberConversions) {
    // The 64-bit conversions ignore what follows the digits, but need a digit.
    struct WideCase {
        const char* text;
        bool ok;
        int64_t value;
    } wideCases[] = {
        {"", false, 0},      {" ", false, 0},  {"-9000000000x", true, -9000000000ll},
        {"-", false, 0},     {"x1", false, 0}, {"18446744073709551615", true, INT64_MAX},
        {" +12 ", true, 12},
    };
    for (const WideCase& c : wideCases) {
        int64_t wide = 99;
        uint64_t uwide = 99;
        EXPECT_EQ(CVxString(c.text).ToInt64(wide), c.ok) << c.text;
        EXPECT_EQ(CVxString(c.text).ToUInt64(uwide), c.ok) << c.text;
        EXPECT_EQ(wide, c.ok ? c.value : 99) << c.text;
        EXPECT_EQ(uwide, c.ok ? static_cast<uint64_t>(c.value) : 99u) << c.text;
    }
    int64_t wide = 0;
    EXPECT_FALSE(CVxString("7").ToInt64(wide, 8, 9));

    struct DoubleCase {
        const char* text;
        bool ok;
        double value;
    } doubleCases[] = {{"1e3", true, 1000}, {"-0.25", true, -0.25}, {"0x10", true, 16},
                       {"1.5 ", false, 0},  {"", false, 0},         {"1e999", false, 0},
                       {"1,5", false, 0}};
    for (const DoubleCase& c : doubleCases) {
        double value = 7;
        EXPECT_EQ(CVxString(c.text).ToDouble(value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 7) << c.text;
    }

    struct BoolCase {
        const char* text;
        bool ok;
        bool value;
    } boolCases[] = {{"1", true, true},      {"YES", true, true},    {"On", true, true},
                     {"0", true, false},     {"False", true, false}, {"no", true, false},
                     {"Yes2", false, false}, {"", false, false},     {" 1", false, false}};
    for (const BoolCase& c : boolCases) {
        bool value = false;
        EXPECT_EQ(CVxString(c.text).ToBool(value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(VxString, FormattingAndTidying) {
    EXPECT_EQ(Text(CVxString::FromUInt64(UINT64_MAX)), "18446744073709551615");
    CVxString long_;
    long_.Format("%s|%d", std::string(3000, 'q').c_str(), 42);
    EXPECT_EQ(long_.Length(), 3003u);
    EXPECT_TRUE(long_.EndsWith("|42"));

    // Breaks pair from left to right, also with an LF just before the first CR.
    const std::pair<const char*, const char*> breakCases[] = {
        {"a\r\nb\n\rc\rd\ne", "a\nb\nc\nd\ne"},
        {"\n\r\r\n", "\n\n"},
        {"x\n\n\r\r", "x\n\n\n"},
        {"\r\r\n\n", "\n\n\n"},
        {"\n\n", "\n\n"}};
    for (const auto& [text, converted] : breakCases) {
        CVxString breaks(text);
        breaks.ConvertLineBreaks(1);
        EXPECT_EQ(Text(breaks), converted) << text;
    }

    EXPECT_TRUE(CVxString().StartsWith(""));
    EXPECT_FALSE(CVxString("a").StartsWith(""));
}

// The default set is tested in place, any other is searched; both follow one rule.
TEST(VxString, TrimBothEnds) {
    static const char kSameBlanks[] = " \t\r\n";
    const struct {
        std::string_view text;
        const char* set;
        std::string_view kept;
    } cases[] = {
        {"\t x y \r\n", CVxString::kBlanks, "x y"},
        {"\t x y \r\n", kSameBlanks, "x y"},
        {"\v x\f ", CVxString::kBlanks, "\v x\f"},
        {" \t\r\n", CVxString::kBlanks, ""},
        {" \t x\r\n", " \t", "x\r\n"},
        {"--a-b--", "-", "a-b"},
        {"", "-", ""},
        {{"\0 a \0", 5}, kSameBlanks, {"\0 a \0", 5}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CVxString::Trim(c.text, c.set), c.kept) << c.text;
        if (c.text.find('\0') != std::string_view::npos)
            continue; // a string ends at its first 0 byte
        CVxString member(c.text.data(), static_cast<uint32_t>(c.text.size()));
        member.Trim(c.set);
        EXPECT_EQ(member.View(), c.kept) << c.text;
    }
}

// A star matches without backtracking; a space belongs to the pattern after it.
TEST(VxString, Wildcards) {
    struct Case {
        const char* name;
        const char* list;
        bool matches;
    } cases[] = {
        {"noext", "*.*", true}, {"x.look", "?.look", true},   {"a.look.look", "*.look", false},
        {"bx", "a*,b*", true},  {"xy.look", "?.look", false}, {"A.LOOK", "*.look;*.lut", true},
        {"abc", "", false},     {"a.look", ",;*.look", true}, {"b.Lut", "*.look;*.lut", true},
        {"a", "a*", true},      {"ab", "*?", true},           {"a.lut", "*.look; *.lut", false},
        {"abcd", "*b?d", true}, {"abc", "*?c", true},         {"a.b", "*.", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CVxString(c.name).MatchesWildcards(c.list), c.matches)
            << c.name << " against " << c.list;
}

TEST(NameTable, HashIgnoresCase) {
    EXPECT_EQ(NameHash("abc", 3), 0x5C7CFCB7u);
    EXPECT_EQ(NameHash("ABC", 3), 0x5C7CFCB7u);
    EXPECT_EQ(NameHash("", 0), 0xFFFFFFFFu);
}
