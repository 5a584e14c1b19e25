#include "foundation/name_table.h"
#include "foundation/vx_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

int Sign(int value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

std::string Text(const CVxString& s) {
    return std::string(s.Data(), s.Length());
}

} // namespace

TEST(VxString, StorageAndEmbeddedZeros) {
    CVxString empty;
    EXPECT_EQ(empty.Capacity(), 33u);
    EXPECT_EQ(CVxString::WithCapacity(10).Capacity(), 11u);

    EXPECT_EQ(Text(CVxString("abc", 2)), "ab");
    const char block[5] = {'a', 'b', 0, 'c', 'd'};
    CVxString cut(block, 5);
    EXPECT_EQ(cut.Length(), 2u);
    cut.Append(block, 5);
    EXPECT_EQ(Text(cut), "abab");
    CVxString copy(cut);
    EXPECT_EQ(copy.Capacity(), 5u);
    CVxString null(nullptr);
    EXPECT_TRUE(null.IsEmpty());

    // Room only before the text: the text moves to the buffer start, nothing is allocated.
    CVxString s = CVxString::WithCapacity(9);
    s.Assign("abcdefgh");
    s.RemoveFront(4);
    EXPECT_EQ(s.Offset(), 4u);
    s.Append("xyz");
    EXPECT_EQ(Text(s), "efghxyz");
    EXPECT_EQ(s.Offset(), 0u);
    EXPECT_EQ(s.Capacity(), 10u);
    // Growth: the largest of the need, 3/2 of the capacity and 32.
    s.Append("12345");
    EXPECT_EQ(s.Capacity(), 32u);
    s.Append(std::string(30, 'x').c_str());
    EXPECT_EQ(s.Capacity(), 48u);
    s.Append(std::string(60, 'y').c_str());
    EXPECT_EQ(s.Capacity(), 103u);

    char* buffer = s.GetBuffer(10);
    std::memcpy(buffer, "hi\0there", 9);
    s.ReleaseBuffer();
    EXPECT_EQ(Text(s), "hi");
    s.RemoveFront(5);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.Offset(), 0u);

    CVxString moved(std::move(copy));
    EXPECT_EQ(Text(moved), "abab");
    copy.Reserve(0); // a moved-from string stays usable
    copy.Append('z');
    EXPECT_EQ(Text(copy), "z");

    const uint16_t wide[] = {0x141, 'b', 0, 'c'};
    CVxString narrow;
    narrow.Assign16(wide);
    EXPECT_EQ(Text(narrow), "Ab");

    CVxString word("abcdef");
    EXPECT_EQ(Text(word.Left(2)), "ab");
    EXPECT_EQ(Text(word.Mid(4, 10)), "ef");
    EXPECT_TRUE(word.Mid(6).IsEmpty());
    EXPECT_EQ(Text(word.Right(9)), "abcdef");
    word.RemoveBack(2);
    EXPECT_EQ(Text(word), "abcd");
    EXPECT_EQ(word.ReverseFind('a', 99), 0);
    EXPECT_EQ(word.Find('d', 4), -1);
}

TEST(VxString, Comparison) {
    using S = CVxString;
    struct Case {
        const char* a;
        const char* b;
        S::ECompareMode mode;
        bool natural;
        int sign;
    } cases[] = {
        {".LUT", ".lut", S::ePath, false, 0},
        {"C:\\x\\", "c:/X", S::ePath, false, 0},
        {"", "a", S::ePath, false, -1},
        {"a", "", S::ePath, false, 1},
        {"", "", S::ePath, false, 0},
        {"_", "A", S::eCaseSensitive, false, 1},
        {"_", "A", S::eCaseInsensitive, false, -1}, // compared in lower case
        {"abc", "ab", S::eCaseSensitive, false, 1},
        {"file10", "file9", S::eCaseSensitive, false, -1},
        {"a2b10", "a2b9", S::eCaseSensitive, true, 1},
        {"x007", "x7", S::eCaseSensitive, true, 0},
        {"a1b", "a12", S::eCaseSensitive, true, 1}, // differing letters: plain comparison
        {"Shot10\\", "shot9", S::ePath, true, 1},
        {"SHOT10", "shot9", S::eCaseInsensitive, true, 1},
        {"a1", "a1b2", S::eCaseSensitive, true, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sign(CVxString(c.a).Compare(c.b, c.mode, c.natural)), c.sign)
            << c.a << " / " << c.b << " mode " << int(c.mode) << " natural " << c.natural;
}

TEST(VxString, ExtractToken) {
    struct Case {
        const char* text;
        const char* delimiters;
        bool quotes;
        char escape;
        std::vector<std::string> tokens;
    } cases[] = {
        {"  a  b", " ", false, 0, {"a", "b"}},
        {"\"x y\" z", " ", true, 0, {"\"x y\"", "z"}},
        {"\"x y\" z", " ", false, 0, {"\"x", "y\"", "z"}},
        {"\"x y z", " ", true, 0, {"\"x y z"}},
        {"a\\ b c", " ", false, '\\', {"a\\ b", "c"}},
        {";;*.look,;*.lut;", ";,", false, 0, {"*.look", "*.lut"}},
        {"   ", " ", false, 0, {}},
    };
    for (const Case& c : cases) {
        CVxString text(c.text), token;
        std::vector<std::string> tokens;
        while (text.ExtractToken(c.delimiters, token, c.quotes, c.escape))
            tokens.push_back(Text(token));
        EXPECT_EQ(tokens, c.tokens) << c.text;
        EXPECT_TRUE(text.IsEmpty()) << c.text;
    }
}

TEST(VxString, NumberConversions) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t value;
    } unsignedCases[] = {
        {"007", true, 7},
        {"12x", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {" 5", true, 5},
        {"+3", true, 3},
        {"-1", true, 0xFFFFFFFFu},
        {"4294967296", true, 0xFFFFFFFFu},
        {"5 ", false, 0},
    };
    for (const Case& c : unsignedCases) {
        uint32_t value = 1234;
        EXPECT_EQ(CVxString(c.text).ToUInt32(value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 1234u) << c.text;
    }
    uint32_t ranged = 0;
    EXPECT_FALSE(CVxString("5").ToUInt32(ranged, 6, 9));
    EXPECT_TRUE(CVxString("9").ToUInt32(ranged, 6, 9));

    int32_t i = 0;
    EXPECT_TRUE(CVxString("-2147483648").ToInt32(i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_TRUE(CVxString("99999999999").ToInt32(i));
    EXPECT_EQ(i, INT32_MAX);
    EXPECT_FALSE(CVxString("1.5").ToInt32(i));
    uint8_t byte = 0;
    EXPECT_TRUE(CVxString("255").ToUInt8(byte));
    EXPECT_FALSE(CVxString("256").ToUInt8(byte));

    // The 64-bit conversions ignore what follows the digits, but need a digit.
    struct WideCase {
        const char* text;
        bool ok;
        int64_t value;
    } wideCases[] = {
        {"-9000000000x", true, -9000000000ll},
        {"18446744073709551615", true, INT64_MAX},
        {" +12 ", true, 12},
        {"", false, 0},
        {" ", false, 0},
        {"-", false, 0},
        {"x1", false, 0},
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
    EXPECT_EQ(Text(CVxString::FromInt(INT32_MIN)), "-2147483648");
    EXPECT_EQ(Text(CVxString::FromUInt64(UINT64_MAX)), "18446744073709551615");
    CVxString long_;
    long_.Format("%s|%d", std::string(3000, 'q').c_str(), 42);
    EXPECT_EQ(long_.Length(), 3003u);
    EXPECT_TRUE(long_.EndsWith("|42"));

    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"001.2500", "1.25"}, {"0.000", "0"}, {"100", "100"},
                 {"0.5", "0.5"},       {"12.0", "12"}, {"000", "0"}};
    for (const Case& c : cases) {
        CVxString text(c.in);
        text.TrimNumberText();
        EXPECT_EQ(Text(text), c.out) << c.in;
    }

    CVxString breaks("a\r\nb\n\rc\rd\ne");
    breaks.ConvertLineBreaks(1);
    EXPECT_EQ(Text(breaks), "a\nb\nc\nd\ne");
    CVxString dos("a\r\nb\n\rc\rd\ne");
    dos.ConvertLineBreaks(2);
    EXPECT_EQ(Text(dos), "a\r\nb\r\nc\r\nd\r\ne");

    CVxString replaced("One.LUT one.lut");
    EXPECT_EQ(replaced.Replace(".lut", ".cube", true), 2u);
    EXPECT_EQ(Text(replaced), "One.cube one.cube");
    CVxString trimmed("\t x y \n");
    trimmed.Trim();
    EXPECT_EQ(Text(trimmed), "x y");
    EXPECT_TRUE(CVxString("C:\\a b").IsPathName());
    EXPECT_FALSE(CVxString("ab:c").IsPathName());
    EXPECT_FALSE(CVxString("a*b").IsFileName());
    EXPECT_TRUE(CVxString().StartsWith(""));
    EXPECT_FALSE(CVxString("a").StartsWith(""));
}

TEST(VxString, Wildcards) {
    struct Case {
        const char* name;
        const char* list;
        bool matches;
    } cases[] = {
        {"a.look.look", "*.look", false}, // no backtracking
        {"x.look", "?.look", true},
        {"xy.look", "?.look", false},
        {"A.LOOK", "*.look;*.lut", true},
        {"b.Lut", "*.look;*.lut", true},
        {"noext", "*.*", true},
        {"bx", "a*,b*", true},
        {"a.lut", "*.look; *.lut", false}, // the second alternative starts with a space
        {"a.look", ",;*.look", true},
        {"abc", "", false},
        {"a", "a*", true},
        {"ab", "*?", true},
        {"abcd", "*b?d", true},
        {"abcabc", "*?c", false},
        {"abc", "*?c", true},
        {"a.b", "*.", false},
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
