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
        {"010", true, 10},
        {"+16", true, 16},
        {"0", true, 0},
        {"-1", true, 0xFFFFFFFFu},
        {"4294967296", true, 0xFFFFFFFFu},
        {"-4294967288", true, 8},
        {"99999999999999999999999", true, 0xFFFFFFFFu},
        {"abc", false, 0},
        {"1 ", false, 0},
        {"0x10", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t size = 12345;
        const bool accepted = ParseSizeValue(CVxString(c.text), size);
        EXPECT_EQ(std::pair(accepted, accepted ? size : 0), std::pair(c.accepted, c.size))
            << c.text;
    }
}

} // namespace
