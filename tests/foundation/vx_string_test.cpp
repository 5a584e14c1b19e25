#include "foundation/vx_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
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
    const std::tuple<const char*, const char*, S::ECompareMode, int> cases[] = {
        {"C:\\x\\", "c:/X", S::ePath, 0},           {".LUT", ".lut", S::ePath, 0},
        {"_", "A", S::eCaseSensitive, 1},           {"", "a", S::ePath, -1},
        {"_", "A", S::eCaseInsensitive, -1},        {"a", "", S::ePath, 1},
        {"abc", "ab", S::eCaseSensitive, 1},        {"", "", S::ePath, 0},
        {"file10", "file9", S::eCaseSensitive, -1},
    };
    for (const auto& [a, b, mode, sign] : cases)
        EXPECT_EQ(Sign(CVxString(a).Compare(b, mode)), sign) << a << " / " << b << " " << int(mode);
}

TEST(VxString, ExtractToken) {
    const std::tuple<const char*, const char*, bool, std::vector<std::string>> cases[] = {
        {"  a  b", " ", false, {"a", "b"}},
        {"\"x y\" z", " ", true, {"\"x y\"", "z"}},
        {"\"x y\" z", " ", false, {"\"x", "y\"", "z"}},
        {"\"x y z", " ", true, {"\"x y z"}},
        {";;*.look,;*.lut;", ";,", false, {"*.look", "*.lut"}},
        {"   ", " ", false, {}},
    };
    for (const auto& [text, delimiters, quotes, expected] : cases) {
        CVxString rest(text), token;
        std::vector<std::string> tokens;
        while (rest.ExtractToken(delimiters, token, quotes))
            tokens.push_back(Text(token));
        EXPECT_EQ(tokens, expected) << text;
        EXPECT_TRUE(rest.IsEmpty()) << text;
    }
}

// The 32-bit conversions read as strtoul and strtol do with a 32-bit long.
TEST(VxString, Conversions32) {
    const std::tuple<const char*, bool, uint32_t, int32_t> cases[] = {
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
        {"- 5", false, 0, 0}};
    for (const auto& [text, ok, unsignedValue, signedValue] : cases) {
        uint32_t u = 12345;
        int32_t i = 12345;
        EXPECT_EQ(CVxString(text).ToUInt32(u), ok) << text;
        EXPECT_EQ(CVxString(text).ToInt32(i), ok) << text;
        EXPECT_EQ(u, ok ? unsignedValue : 12345u) << text;
        EXPECT_EQ(i, ok ? signedValue : 12345) << text;
    }
    uint32_t ranged = 9;
    uint8_t byte = 9;
    EXPECT_FALSE(CVxString("7").ToUInt32(ranged, 8, 9));
    EXPECT_FALSE(CVxString("256").ToUInt8(byte));
    EXPECT_EQ(std::pair(ranged, byte), std::pair(9u, uint8_t(9)));
}

TEST(VxString, NumberConversions) {
    // The 64-bit conversions ignore what follows the digits, but need a digit.
    const std::tuple<const char*, bool, int64_t> wideCases[] = {
        {"", false, 0},      {" ", false, 0},  {"-9000000000x", true, -9000000000ll},
        {"-", false, 0},     {"x1", false, 0}, {"18446744073709551615", true, INT64_MAX},
        {" +12 ", true, 12},
    };
    for (const auto& [text, ok, value] : wideCases) {
        int64_t wide = 99;
        uint64_t uwide = 99;
        EXPECT_EQ(CVxString(text).ToInt64(wide), ok) << text;
        EXPECT_EQ(CVxString(text).ToUInt64(uwide), ok) << text;
        EXPECT_EQ(wide, ok ? value : 99) << text;
        EXPECT_EQ(uwide, ok ? static_cast<uint64_t>(value) : 99u) << text;
    }
    int64_t wide = 0;
    EXPECT_FALSE(CVxString("7").ToInt64(wide, 8, 9));

    const std::tuple<const char*, bool, double> doubleCases[] = {
        {"1e3", true, 1000}, {"-0.25", true, -0.25}, {"0x10", true, 16}, {"1.5 ", false, 0},
        {"", false, 0},      {"1e999", false, 0},    {"1,5", false, 0}};
    for (const auto& [text, ok, expected] : doubleCases) {
        double value = 7;
        EXPECT_EQ(CVxString(text).ToDouble(value), ok) << text;
        EXPECT_EQ(value, ok ? expected : 7) << text;
    }

    const std::tuple<const char*, bool, bool> boolCases[] = {
        {"1", true, true},      {"YES", true, true},    {"On", true, true},
        {"0", true, false},     {"False", true, false}, {"no", true, false},
        {"Yes2", false, false}, {"", false, false},     {" 1", false, false}};
    for (const auto& [text, ok, expected] : boolCases) {
        bool value = false;
        EXPECT_EQ(CVxString(text).ToBool(value), ok) << text;
        EXPECT_EQ(value, expected) << text;
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
    const std::tuple<std::string_view, const char*, std::string_view> cases[] = {
        {"\t x y \r\n", CVxString::kBlanks, "x y"},
        {"\t x y \r\n", kSameBlanks, "x y"},
        {"\v x\f ", CVxString::kBlanks, "\v x\f"},
        {" \t\r\n", CVxString::kBlanks, ""},
        {" \t x\r\n", " \t", "x\r\n"},
        {"--a-b--", "-", "a-b"},
        {"", "-", ""},
        {{"\0 a \0", 5}, kSameBlanks, {"\0 a \0", 5}},
    };
    for (const auto& [text, set, kept] : cases) {
        EXPECT_EQ(CVxString::Trim(text, set), kept) << text;
        if (text.find('\0') != std::string_view::npos)
            continue; // a string ends at its first 0 byte
        CVxString member(text.data(), static_cast<uint32_t>(text.size()));
        member.Trim(set);
        EXPECT_EQ(member.View(), kept) << text;
    }
}

// A star matches without backtracking; a space belongs to the pattern after it.
TEST(VxString, Wildcards) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"noext", "*.*", true}, {"x.look", "?.look", true},   {"a.look.look", "*.look", false},
        {"bx", "a*,b*", true},  {"xy.look", "?.look", false}, {"A.LOOK", "*.look;*.lut", true},
        {"abc", "", false},     {"a.look", ",;*.look", true}, {"b.Lut", "*.look;*.lut", true},
        {"a", "a*", true},      {"ab", "*?", true},           {"a.lut", "*.look; *.lut", false},
        {"abcd", "*b?d", true}, {"abc", "*?c", true},         {"a.b", "*.", false},
    };
    for (const auto& [name, list, matches] : cases)
        EXPECT_EQ(CVxString(name).MatchesWildcards(list), matches) << name << " against " << list;
}
