#include "tool/command_line.h"
#include "tool/run_settings.h"
#include "tool/run_setup.h"
#include "tool/usage_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The words of the line, quotes dropped as the shell drops them.
std::vector<std::string> ShellWords(std::string_view line) {
    std::vector<std::string> words{"gradeshift"};
    std::string word;
    for (char c : std::string(line) + ' ') {
        if (c == '"')
            continue;
        if (c != ' ') {
            word += c;
            continue;
        }
        if (!word.empty())
            words.push_back(word);
        word.clear();
    }
    return words;
}

// Empty when the run would start with these arguments, else why not.
std::string WhyRefused(const std::vector<std::string>& words) {
    std::vector<const char*> argv;
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    SetCommandLine(static_cast<int>(argv.size()), argv.data());
    RunRequest request;
    OptionProblem problem;
    if (ParseCommandLine(request, problem) != EOptionResult::eAccepted)
        return std::string(problem.option.c_str()) + ": " + problem.cause.c_str();
    const bool noInput = request.inputs.empty();
    // Checked without the inputs and the output folder, which need not exist here.
    request.inputs.clear();
    request.outFolder.Empty();
    SystemFileAccess files;
    const RunSetUp run = SetUpRun(request, files);
    if (run.problem->kind != ERunProblem::eNoInput)
        return run.problem->option + ": " + run.problem->text;
    return noInput ? "no input" : "";
}

// What the help, the manual page and the completion name is what the program
// takes: every option in every form with a value of its kind, and every example.
TEST(UsageText, OptionsAndExamplesAreTaken) {
    const auto valueOf = [](EOptionValue kind) -> std::string {
        switch (kind) {
        case EOptionValue::eSize:
            return "64";
        case EOptionValue::eFormat:
            return "cubrel";
        case EOptionValue::eNumber:
            return "2";
        default:
            return "name";
        }
    };
    for (const UsageEntry& entry : UsageEntries()) {
        if (entry.kind != EUsageEntry::eMode && entry.kind != EUsageEntry::eOption)
            continue;
        EXPECT_EQ(entry.value.empty(), entry.valueKind == EOptionValue::eNone) << entry.names;
        for (std::string_view name : NamesOf(entry))
            for (const char* dashes : {"-", "--"}) {
                std::vector<std::string> words{"gradeshift", "in.look", dashes + std::string(name)};
                if (!entry.value.empty())
                    words.push_back(valueOf(entry.valueKind));
                if (!entry.goesWith.empty())
                    words.push_back("-" + std::string(entry.goesWith));
                EXPECT_EQ(WhyRefused(words), "") << words[2];
            }
    }
    for (const UsageExample& example : UsageExamples())
        EXPECT_EQ(WhyRefused(ShellWords(example.arguments)), "") << example.arguments;
}

// The help fits a terminal of 80 columns.
TEST(UsageText, HelpLinesFitATerminal) {
    const std::string help = HelpText();
    size_t start = 0;
    for (size_t end; (end = help.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
    EXPECT_EQ(start, help.size()) << "ends with a line break";
}

} // namespace
