#include "lut/lut_format_registry.h"
#include "platform/ascii.h"
#include "tool/usage_docs.h"
#include "tool/usage_text.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

using enum EUsageEntry;

// What only the manual page says: where the installation keeps its files.
constexpr std::pair<std::string_view, std::string_view> kFiles[] = {
    {"bin/gradeshift", "The program; the folder above bin/ is the base folder of the installation, "
                       "which the other paths are relative to."},
    {"resources/Resources.vxf",
     "The resource archive; without it, or when it is empty, the program does not start."},
    {"settings/Global_Settings.xml",
     "Settings, read when present; without them every setting takes its default."},
    {"settings/Utility_Settings.xml", "Settings of the utility, read when present."},
    {"shaders/", "Shader packages, one sub-folder each; may be empty."},
    {"lib/python3/dist-packages/", "The Python module gradeshift and its type stub, when built."},
};

constexpr std::string_view kSeeAlso[] = {"ociobakelut (1)", "python3 (1)"};

// Text for a text line of roff: backslashes and dashes escaped, and a line
// that would start with a control character kept as text.
std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

// Text lines of at most this many bytes, where a reader of the source wants them.
constexpr size_t kSourceLineWidth = 80;

// The text as lines of roff, which fills them into a paragraph. A line that
// would start with a control character is kept as text.
void AppendText(std::string& page, std::string_view text) {
    std::string line;
    const auto addWord = [&](std::string_view word) {
        const std::string escaped = Escaped(word);
        if (!line.empty() && line.size() + 1 + escaped.size() > kSourceLineWidth) {
            page += line + '\n';
            line.clear();
        }
        if (!line.empty())
            line += ' ';
        else if (escaped.front() == '.' || escaped.front() == '\'')
            line += "\\&";
        line += escaped;
    };
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find_first_of(" \n", start), text.size());
        if (end > start)
            addWord(text.substr(start, end - start));
        start = end + 1;
    }
    if (!line.empty())
        page += line + '\n';
}

std::string Bold(std::string_view text) {
    return "\\fB" + Escaped(text) + "\\fR";
}

std::string Italic(std::string_view text) {
    return "\\fI" + Escaped(text) + "\\fR";
}

// "-size N, --size=N" and "-v, -verbose, --v, --verbose"; the word itself
// for what is no option, and questions as they are taken.
std::string ManualLabel(const UsageEntry& entry) {
    if (entry.kind == eOperand)
        return Italic(entry.names);
    if (entry.kind == eDefaultMode)
        return Bold(entry.names);
    std::string label;
    const auto add = [&](const std::string& form) { label += (label.empty() ? "" : ", ") + form; };
    const std::vector<std::string_view> names = NamesOf(entry);
    if (entry.kind == eQuestion) {
        for (std::string_view name : names)
            add(Bold(name));
        return label;
    }
    const std::string value = entry.value.empty() ? "" : " " + Italic(entry.value);
    for (std::string_view name : names)
        add(Bold("-" + std::string(name)) + value);
    for (std::string_view name : names)
        add(Bold("--" + std::string(name)) + (value.empty() ? "" : "=" + Italic(entry.value)));
    return label;
}

void AppendEntries(std::string& page, std::span<const EUsageEntry> kinds) {
    for (const UsageEntry& entry : UsageEntries()) {
        if (std::find(kinds.begin(), kinds.end(), entry.kind) == kinds.end())
            continue;
        page += ".TP\n" + ManualLabel(entry) + '\n';
        AppendText(page, ExpandUsageText(entry.help));
        if (entry.more.empty())
            continue;
        page += ".IP\n";
        AppendText(page, entry.more);
    }
}

void AppendParagraph(std::string& page, std::string_view text) {
    page += ".PP\n";
    AppendText(page, text);
}

// What each -to format writes, from its registry entry.
void AppendOutputFormats(std::string& page) {
    page += ".SH \"OUTPUT FORMATS\"\n";
    AppendText(page, "What -to FORMAT writes beside each input, or into DIR with -out. "
                     "Float formats keep values below 0 and above 1; 3dl and hald clamp and "
                     "round.");
    const std::string oneDimensional =
        "a 1D table of " + std::to_string(kExport1DSize) + " entries";
    for (const ExportFormat& format : ExportFormats()) {
        std::string label = Bold(format.toName);
        if (format.helpNote)
            label += " (" + Escaped(format.helpNote) + ")";
        std::string text = std::string("Writes NAME") + format.writtenExtension;
        if (format.holds1D && format.holds3D)
            text += ": a per-channel transform as " + oneDimensional + ", any other as a lattice";
        else if (format.holds1D)
            text += ", of a per-channel transform only: " + oneDimensional;
        else if (format.holds3D)
            text += ", a lattice";
        text += '.';
        if (format.holdsInputRange)
            text += " A lattice over an input range other than 0 to 1 keeps its range.";
        if (format.throughOcio)
            text += " Written by OpenColorIO; a build without it refuses the format.";
        page += ".TP\n" + label + '\n';
        AppendText(page, text);
    }
}

// The formats read, in the order they are tried.
void AppendLutFormats(std::string& page) {
    page += ".SH \"LUT FORMATS\"\n";
    AppendText(page, std::string(LutFormatsHeading()) +
                         ", in the order they are tried. An input under one of these "
                         "extensions is converted as a LUT file.");
    std::string_view previous;
    for (const LutFormat& format : LutFormats()) {
        if (RecognitionHeading(format) != previous) {
            std::string heading(RecognitionHeading(format));
            heading.front() = ascii::Upper(heading.front());
            page += ".SS \"" + Escaped(heading) + "\"\n";
        }
        previous = RecognitionHeading(format);
        std::string extensions;
        for (std::string_view extension : format.extensions)
            extensions += (extensions.empty() ? "" : " ") + std::string(extension);
        page += ".TP\n" + Bold(format.name) + '\n';
        AppendText(page, extensions.empty() ? "(no extension of its own)" : extensions);
    }
}

void AppendExitStatus(std::string& page) {
    page += ".SH \"EXIT STATUS\"\n";
    for (const ExitCodeText& exitCode : ExitCodeTexts()) {
        page += ".TP\n" + Bold(std::to_string(exitCode.code)) + '\n';
        AppendText(page, exitCode.meaning);
    }
}

void AppendExamples(std::string& page) {
    page += ".SH EXAMPLES\n";
    for (const UsageExample& example : UsageExamples()) {
        page += ".TP\n" + Bold("gradeshift " + std::string(example.arguments)) + '\n';
        AppendText(page, example.purpose);
    }
}

void AppendFilesAndSeeAlso(std::string& page) {
    page += ".SH FILES\n";
    for (const auto& [path, meaning] : kFiles) {
        page += ".TP\n" + Italic(path) + '\n';
        AppendText(page, meaning);
    }
    page += ".SH \"SEE ALSO\"\n";
    for (size_t index = 0; index < std::size(kSeeAlso); ++index)
        page += ".BR " + std::string(kSeeAlso[index]) +
                (index + 1 < std::size(kSeeAlso) ? " ,\n" : "\n");
}

} // namespace

std::string ManualPage(std::string_view date) {
    std::string page = ".TH GRADESHIFT 1 " + std::string(date) +
                       " \"Gradeshift " GRADESHIFT_VERSION "\" \"User Commands\"\n";
    page += ".SH NAME\ngradeshift \\- convert colour\\-grading looks and LUT files\n";
    page += ".SH SYNOPSIS\n" + Bold("gradeshift") + " [" + Italic("options") + "] " +
            Italic("input") + "... [" + Italic("options") + "]\n.br\n" + Bold("gradeshift") + ' ' +
            Bold("--help") + " | " + Bold("--version") + '\n';
    page += ".SH DESCRIPTION\n";
    AppendText(page, UsageSummary());
    AppendEntries(page, std::array{eOperand});
    for (std::string_view paragraph : UsageClosingParagraphs())
        AppendParagraph(page, paragraph);
    page += ".SH OPTIONS\n";
    AppendText(page, "Options stand anywhere among the inputs, in any letter case, and are also "
                     "taken as --name, --name=VALUE and --name VALUE.");
    page += ".SS Modes\n";
    AppendEntries(page, std::array{eDefaultMode, eMode});
    page += ".SS \"Other options\"\n";
    AppendEntries(page, std::array{eOption, eQuestion});
    AppendOutputFormats(page);
    AppendLutFormats(page);
    AppendExitStatus(page);
    AppendExamples(page);
    AppendFilesAndSeeAlso(page);
    return page;
}
