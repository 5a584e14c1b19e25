#include "tool/command_line.h"
#include "tool/run_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> ArgumentsAfter(const std::vector<const char*>& argv) {
    SetCommandLine(static_cast<int>(argv.size()), argv.data());
    std::vector<std::string> entries;
    CommandLineArgs().ForEach([&](const CVxString& entry) { entries.push_back(entry.c_str()); });
    return entries;
}

TEST(CommandLine, QuotingKeepsArgumentsWhole) {
    EXPECT_EQ(
        ArgumentsAfter({"/opt/bin/gradeshift", "my looks/a b.look", "-size", "32"}),
        (std::vector<std::string>{"/opt/bin/gradeshift", "my looks/a b.look", "-size", "32"}));
    EXPECT_EQ(ArgumentsAfter({"prog dir/gs", "", "x"}),
              (std::vector<std::string>{"prog dir/gs", "x"}));
    EXPECT_EQ(ArgumentsAfter({"\"quoted\"", "a"}), (std::vector<std::string>{"quoted", "a"}));
    EXPECT_EQ(CommandLineArg(1), CVxString("a"));
    EXPECT_TRUE(CommandLineArg(7).IsEmpty());
}

TEST(SizeValue, ReadLikeA32BitStrtoul) {
    const struct {
        const char* text;
        bool accepted;
        uint32_t size;
    } cases[] = {
        {"33", true, 33},
        {"007", true, 7},
        {"+16", true, 16},
        {"0", true, 0},
        {"-1", true, 0xFFFFFFFFu},
        {"4294967295", true, 0xFFFFFFFFu},
        {"4294967296", true, 0xFFFFFFFFu},
        {"-4294967288", true, 8},
        {"99999999999999999999999", true, 0xFFFFFFFFu},
        {"", false, 0},
        {"12x", false, 0},
        {"abc", false, 0},
        {"1 ", false, 0},
        {"0x10", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t size = 12345;
        EXPECT_EQ(ParseSizeValue(CVxString(c.text), size), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(size, c.size) << c.text;
        }
    }
}

TEST(SizeRules, DefaultsAndRanges) {
    const struct {
        bool cubrel;
        uint32_t given;
        bool valid;
        uint32_t result;
    } cases[] = {
        {false, 0, true, 64},    {true, 0, true, 17},      {false, 8, true, 8},
        {false, 256, true, 256}, {false, 512, false, 512}, {false, 96, false, 96},
        {false, 2, false, 2},    {true, 9, true, 9},       {true, 129, true, 129},
        {true, 257, false, 257}, {true, 3, false, 3},      {true, 49, false, 49},
    };
    for (const auto& c : cases) {
        RunSettings settings;
        settings.cubrelMode = c.cubrel;
        settings.size = c.given;
        EXPECT_EQ(ApplySizeRules(settings), c.valid) << c.cubrel << " " << c.given;
        EXPECT_EQ(settings.size, c.result) << c.cubrel << " " << c.given;
    }
}

TEST(Options, LaterSizeWinsAndUnknownArgumentsAreNamed) {
    ArgumentsAfter({"gs", "in", "-Size", "9", "-CUBREL", "-size", "33", "-noResampling"});
    RunSettings settings;
    CVxString offending;
    ASSERT_EQ(ParseOptions(settings, offending), EOptionResult::eAccepted);
    EXPECT_TRUE(settings.cubrelMode);
    EXPECT_FALSE(settings.resamplingAllowed);
    EXPECT_EQ(settings.size, 33u);

    ArgumentsAfter({"gs", "in", "-cubrel", "--size", "9"});
    RunSettings other;
    EXPECT_EQ(ParseOptions(other, offending), EOptionResult::eUnknownArgument);
    EXPECT_EQ(offending, CVxString("--size"));

    ArgumentsAfter({"gs", "in", "-size"});
    EXPECT_EQ(ParseOptions(other, offending), EOptionResult::eBadSize);
}

} // namespace
