// The manual page and the bash completion are made from the text that --help
// prints; these tests hold the three together, read the page as groff and
// mandoc do, and run the completion in bash.
#include "cli_harness.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct ShellResult {
    std::string out;
    int exitCode = -1;
};

// Runs the command line in the shell, keeping its standard output.
ShellResult Shell(const std::string& command) {
    ShellResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, count);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// Runs of spaces and line breaks as one space.
std::string Squeezed(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool space = c == ' ' || c == '\n';
        if (!space)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    return out;
}

// What --help says, piece by piece, whitespace squeezed: the label of each
// entry (an option, a LUT format, an exit code) and the text beside it, and
// each paragraph. Headings and the usage lines are left out.
struct HelpPiece {
    std::string label;
    std::string text;
};

std::vector<HelpPiece> HelpPieces(const std::string& help) {
    std::vector<HelpPiece> pieces;
    bool open = false;
    size_t start = 0;
    for (size_t end; (end = help.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = help.substr(start, end - start);
        if (line.empty() || line.back() == ':' || line.starts_with("Usage:")) {
            open = false;
        } else if (line.starts_with("   ")) {
            if (open)
                pieces.back().text += " " + line;
        } else if (line.starts_with("  ")) {
            const size_t gap = line.find("  ", 2);
            const size_t text = line.find_first_not_of(' ', gap);
            pieces.push_back(
                {line.substr(2, gap - 2), text == std::string::npos ? "" : line.substr(text)});
            open = true;
        } else if (open && pieces.back().label.empty()) {
            pieces.back().text += " " + line;
        } else {
            pieces.push_back({"", line});
            open = true;
        }
    }
    for (HelpPiece& piece : pieces)
        piece.text = Squeezed(piece.text);
    return pieces;
}

// The page as text, each paragraph on one line (no hyphenation), fonts left out.
std::string RenderedPage(const std::string& page) {
    return Shell("groff -man -Tascii -rLL=5000n -P-cbou " + Quoted(page) + " 2>&1").out;
}

// The section's text, from the line after its heading to the next heading.
std::string Section(const std::string& rendered, const std::string& heading) {
    size_t start = rendered.find("\n" + heading + "\n");
    if (start == std::string::npos)
        return "";
    start += heading.size() + 2;
    size_t end = start;
    while ((end = rendered.find('\n', end)) != std::string::npos && end + 1 < rendered.size() &&
           (rendered[end + 1] == ' ' || rendered[end + 1] == '\n'))
        ++end;
    return rendered.substr(start, end == std::string::npos ? end : end + 1 - start);
}

// The first word of each line indented as far as the tag of a list entry.
std::vector<std::string> Tags(const std::string& section) {
    std::vector<std::string> tags;
    size_t start = 0;
    for (size_t end; (end = section.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = section.substr(start, end - start);
        if (line.starts_with("       ") && line.size() > 7 && line[7] != ' ')
            tags.push_back(line.substr(7, line.find_first_of(", ", 7) - 7));
    }
    return tags;
}

using UsageDocsTest = CliTest;

// Everything --help says is on the page, and every option on the page is in
// the help; every -to format has its entry.
TEST_F(UsageDocsTest, ManualPageSaysWhatHelpSays) {
    if (!HasProgram("groff"))
        GTEST_SKIP() << "groff is not installed (Debian package groff)";
    const std::string help = Run({"--help"}).out;
    const std::string rendered = RenderedPage(GRADESHIFT_MANUAL_PAGE);
    const std::string page = Squeezed(rendered);
    const std::vector<HelpPiece> pieces = HelpPieces(help);
    ASSERT_GT(pieces.size(), 30u);
    for (const HelpPiece& piece : pieces) {
        EXPECT_NE(page.find(piece.label), std::string::npos) << piece.label;
        EXPECT_NE(page.find(piece.text), std::string::npos) << piece.text;
    }

    // The options of the page are those of the help, where the questions
    // asked alone are in the usage lines.
    std::set<std::string> helpOptions;
    for (const HelpPiece& piece : pieces)
        if (piece.label.starts_with("-"))
            helpOptions.insert(piece.label.substr(0, piece.label.find_first_of(", ")));
    std::set<std::string> pageOptions;
    const std::string squeezedHelp = Squeezed(help);
    for (const std::string& tag : Tags(Section(rendered, "OPTIONS"))) {
        if (tag.starts_with("--"))
            EXPECT_NE(squeezedHelp.find(" " + tag + " "), std::string::npos) << tag;
        else if (tag.starts_with("-"))
            pageOptions.insert(tag);
    }
    EXPECT_EQ(pageOptions, helpOptions);

    // The formats -to takes, as the program names them when it is given none of them.
    const std::string refusal = Run({"x", "-to", "none"}).err;
    const size_t open = refusal.find('(');
    std::string formats = refusal.substr(open + 1, refusal.find(')', open) - open - 1) + ", ";
    const std::vector<std::string> tags = Tags(Section(rendered, "OUTPUT FORMATS"));
    for (size_t comma; (comma = formats.find(", ")) != std::string::npos;
         formats.erase(0, comma + 2)) {
        const std::string format = formats.substr(0, comma);
        EXPECT_TRUE(format == "cubrel" || std::find(tags.begin(), tags.end(), format) != tags.end())
            << format;
    }
}

// Installed under share/, the page reads without a warning from groff or mandoc.
TEST_F(UsageDocsTest, InstalledPageAndCompletion) {
    const std::string prefix = m_root + "/installed";
    const ShellResult install =
        Shell(std::string(GRADESHIFT_CMAKE) + " --install " + Quoted(GRADESHIFT_BINARY_DIR) +
              " --component usage --prefix " + Quoted(prefix));
    ASSERT_EQ(install.exitCode, 0) << install.out;
    const std::string page = prefix + "/share/man/man1/gradeshift.1";
    const std::string completion = prefix + "/share/bash-completion/completions/gradeshift";
    EXPECT_EQ(FileBytes(page), FileBytes(GRADESHIFT_MANUAL_PAGE));
    EXPECT_TRUE(std::filesystem::is_regular_file(completion));

    const std::pair<std::string, std::string> checkers[] = {
        {"groff", "groff -ww -z -man -Tutf8 " + Quoted(page) + " 2>&1"},
        {"mandoc", "mandoc -T lint -W style " + Quoted(page) + " 2>&1"},
    };
    bool anyChecked = false;
    for (const auto& [program, command] : checkers) {
        if (!HasProgram(program))
            continue;
        const ShellResult check = Shell(command);
        EXPECT_EQ(check.out, "") << command;
        EXPECT_EQ(check.exitCode, 0) << command;
        anyChecked = true;
    }
    if (!anyChecked)
        GTEST_SKIP() << "neither groff nor mandoc is installed (Debian packages groff, mandoc)";
}

// Completes each line in bash as the shell would at its end (words split at
// spaces and at "="), printing what the completion offers, sorted, one line each.
constexpr const char* kCompleteLines = R"(
source /usr/share/bash-completion/bash_completion
source "$1"
shift
for line; do
    read -ra COMP_WORDS <<< "${line//=/ = }"
    [[ $line == *[\ =] ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _gradeshift gradeshift "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    for word in "${COMPREPLY[@]}"; do echo "$word"; done | LC_ALL=C sort | paste -sd ' '
done
)";

// Options in both forms, -to formats, the sizes of the mode on the line,
// folders for -out, nothing for a number, and files otherwise.
TEST_F(UsageDocsTest, CompletionOffers) {
    if (!HasProgram("bash") ||
        !std::filesystem::exists("/usr/share/bash-completion/bash_completion"))
        GTEST_SKIP() << "bash-completion is not installed (Debian package bash-completion)";
    for (const char* name : {"a.look", "b.cube", "-odd.look"})
        WriteFile(name, "");
    MakeFolder("grades");
    MakeFolder("luts");
    const struct {
        std::string line;
        std::string offered;
    } cases[] = {
        {"gradeshift ", "-odd.look a.look b.cube grades luts"},
        {"gradeshift a.look g", "grades"},
        {"gradeshift -st", "-strict"},
        {"gradeshift a.look -v", "-v -verbose"},
        {"gradeshift a.look --NO", "--noresampling"},
        {"gradeshift a.look --no", "--noresampling"},
        // The questions are asked alone.
        {"gradeshift --h", "--help"},
        {"gradeshift a.look --h", ""},
        {"gradeshift a.look -to s", "spi1d spi3d"},
        {"gradeshift a.look --TO=H", "hald"},
        {"gradeshift a.look -to ",
         "3dl cc clf csp ctf cub cube cubrel hald itx resolve-cube spi1d spi3d"},
        {"gradeshift a.look -size ", "128 16 256 32 64 8"},
        {"gradeshift -cubrel a.look -SIZE 1", "129 17"},
        {"gradeshift a.look --to=hald -size ", "100 121 144 16 25 36 49 64 81"},
        {"gradeshift a.look -to cube -size 16 --size=6", "64 65"},
        {"gradeshift a.look -to cube -cubrel --size=", "129 17 33 65 9"},
        {"gradeshift a.look -size 16 -to cubrel -size 6", "65"},
        {"gradeshift a.look -out ", "grades luts"},
        {"gradeshift a.look -jobs ", ""},
        {"gradeshift a.look -- -", "-odd.look"},
    };
    m_scratch.Write("complete_lines.sh", kCompleteLines);
    std::string command = "cd " + Quoted(m_work) + " && bash " +
                          Quoted(m_scratch.Posix("complete_lines.sh")) + " " +
                          Quoted(GRADESHIFT_COMPLETION);
    std::string expected;
    for (const auto& c : cases) {
        command += " " + Quoted(c.line);
        expected += c.line + ": " + c.offered + "\n";
    }
    // The completion's own helpers complain on standard error outside an interactive shell.
    const std::string offered = Shell(command + " 2>/dev/null").out;
    std::string got;
    size_t start = 0;
    for (const auto& c : cases) {
        const size_t end = offered.find('\n', start);
        got += c.line + ": " + offered.substr(start, end - start) + "\n";
        start = end == std::string::npos ? offered.size() : end + 1;
    }
    EXPECT_EQ(got, expected);
}

} // namespace
