#include "tool/command_line.h"
#include "tool/run_settings.h"
#include "tool/run_setup.h"

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

struct Parsed {
    EOptionResult result;
    std::vector<std::string> inputs;
    std::string problem;
};

Parsed Parse(const std::vector<const char*>& argv, RunRequest& request) {
    std::vector<const char*> full{"gs"};
    full.insert(full.end(), argv.begin(), argv.end());
    SetCommandLine(static_cast<int>(full.size()), full.data());
    OptionProblem problem;
    Parsed parsed{ParseCommandLine(request, problem), {}, ""};
    if (parsed.result != EOptionResult::eAccepted)
        parsed.problem = problem.option.c_str();
    for (const CVxString& input : request.inputs)
        parsed.inputs.push_back(input.c_str());
    if (!problem.cause.IsEmpty())
        parsed.problem += std::string(": ") + problem.cause.c_str();
    return parsed;
}

// The first argument is an input unless it is a known option; later ones are
// inputs unless they begin with a dash; "--" makes every later one an input.
TEST(CommandLine, OptionsAndInputsInAnyOrder) {
    using enum EOptionResult;
    const struct {
        std::vector<const char*> argv;
        Parsed expected;
    } cases[] = {
        {{"-odd.look", "b", "--", "-size", "--"},
         {eAccepted, {"-odd.look", "b", "-size", "--"}, ""}},
        {{"-Size", "9", "a", "--CUBREL", "--jobs=3", "--out", "o", "-v", "--strict"},
         {eAccepted, {"a"}, ""}},
        {{"a", "-size=9"}, {eUnknownArgument, {"a"}, "-size=9"}},
        {{"a", "-jobs", "+2"}, {eBadValue, {"a"}, "-jobs: \"+2\" is not a number"}},
        {{"a", "--noresampling=no"}, {eBadValue, {"a"}, "--noresampling: takes no value"}},
    };
    for (const auto& c : cases) {
        RunRequest request;
        const Parsed parsed = Parse(c.argv, request);
        EXPECT_EQ(parsed.result, c.expected.result) << c.argv[0];
        EXPECT_EQ(parsed.inputs, c.expected.inputs) << c.argv[0];
        EXPECT_EQ(parsed.problem, c.expected.problem) << c.argv[0];
    }
    RunRequest request;
    Parse({"-Size", "9", "a", "--CUBREL", "--jobs=3", "--out", "o", "-v", "--strict"}, request);
    EXPECT_EQ(request.size, 9u);
    EXPECT_TRUE(request.cubrel && request.verbose && request.strict);
    EXPECT_EQ(request.jobs, 3u);
    EXPECT_EQ(request.outFolder, CVxString("o"));
}

} // namespace
