#include "lut/lut_format_registry.h"
#include "tool/command_line.h"
#include "tool/run_settings.h"
#include "tool/run_setup.h"
#include "tool/usage_text.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
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

namespace {

// The backticked words of a table cell.
std::vector<std::string> QuotedWords(std::string_view cell) {
    std::vector<std::string> words;
    for (size_t open = cell.find('`'); open != std::string_view::npos;
         open = cell.find('`', open + 1)) {
        const size_t close = cell.find('`', open + 1);
        if (close == std::string_view::npos)
            break;
        words.emplace_back(cell.substr(open + 1, close - open - 1));
        open = close;
    }
    return words;
}

} // namespace

// The README's table of -to formats holds every format that -to takes, in the
// registry's order, with the file it writes and who writes it; and it names
// every extension read.
TEST(UsageText, ReadmeTablesHoldTheRegistry) {
    const std::string readme = FileBytes(GRADESHIFT_SOURCE_DIR "/README.md");
    const size_t table = readme.find("| `-to` | file | what it holds | written by |");
    ASSERT_NE(table, std::string::npos);
    std::vector<std::string> names, files;
    std::vector<bool> byOcio;
    std::istringstream rows(readme.substr(table));
    std::string row;
    std::getline(rows, row);
    std::getline(rows, row); // the rule under the heading
    while (std::getline(rows, row) && row.starts_with("| ")) {
        std::vector<std::string_view> cells;
        for (size_t start = 2, bar; (bar = row.find(" | ", start)) != std::string::npos;
             start = bar + 3)
            cells.push_back(std::string_view(row).substr(start, bar - start));
        ASSERT_EQ(cells.size(), 3u) << row;
        for (const std::string& name : QuotedWords(cells[0])) {
            names.push_back(name);
            byOcio.push_back(row.ends_with("OpenColorIO's baker |") ||
                             row.ends_with("OpenColorIO's process-list writer |"));
        }
        for (const std::string& file : QuotedWords(cells[1]))
            files.push_back(file);
    }
    std::vector<std::string> expectedNames, expectedFiles;
    std::vector<bool> expectedOcio;
    for (const ExportFormat& format : ExportFormats()) {
        expectedNames.emplace_back(format.toName);
        expectedFiles.push_back(std::string("NAME") + format.writtenExtension);
        expectedOcio.push_back(format.throughOcio);
    }
    EXPECT_EQ(names, expectedNames);
    EXPECT_EQ(files, expectedFiles);
    EXPECT_EQ(byOcio, expectedOcio);
    for (const LutFormat& format : LutFormats())
        for (std::string_view extension : format.extensions)
            EXPECT_NE(readme.find("`" + std::string(extension) + "`"), std::string::npos)
                << extension;
}
