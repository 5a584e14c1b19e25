#include "tool/command_line.h"

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

// Arguments with spaces reach the program whole, as the command-line tests show.
TEST(CommandLine, QuotingKeepsArgumentsWhole) {
    EXPECT_EQ(ArgumentsAfter({"prog dir/gs", "", "x"}),
              (std::vector<std::string>{"prog dir/gs", "x"}));
    EXPECT_EQ(ArgumentsAfter({"\"quoted\"", "a"}), (std::vector<std::string>{"quoted", "a"}));
    EXPECT_EQ(CommandLineArg(1), CVxString("a"));
    EXPECT_TRUE(CommandLineArg(7).IsEmpty());
}

} // namespace
