#include "tool/usage_text.h"

#include "lut/lut_format_registry.h"

#include <algorithm>
#include <array>

namespace {

using enum EUsageEntry;
using enum EOptionValue;

constexpr UsageEntry kEntries[] = {
    {.kind = eOperand,
     .names = "input",
     .value = {},
     .help = "a file, a wildcard (\"*.look\") or a folder (its .look and .lut files). Inputs are "
             "converted in the order given, a file that several inputs find only once; \"--\" "
             "makes every later argument an input.",
     .more = "Quote a wildcard, so that the program expands it rather than the shell; \";\" or "
             "\",\" separate alternatives. A folder stands for the .look and .lut files directly "
             "inside it: hidden files and sub-folders are skipped. An input that finds nothing is "
             "named on standard error, and the others go on."},
    {.kind = eDefaultMode,
     .names = "rebuild",
     .value = {},
     .help = "(the default) renders each look's grading afresh into a stored LUT of size N and "
             "rewrites the look; a LUT file (NAME.lut, NAME.cube, NAME.clf, ...) becomes a look "
             "NAME.look beside it that names the LUT.",
     .more = "A look whose stored LUT has size N already is left alone. When a look cannot be "
             "rendered, its stored LUT is resampled instead, unless -noresampling forbids it."},
    {.kind = eMode,
     .names = "cubrel",
     .value = {},
     .help = "renders each look into a Cubrel LUT NAME.lut beside it, converts\n"
             "a .lut file into a Cubrel LUT in place, and any other LUT file\n"
             "NAME.EXT into a Cubrel LUT NAME.lut beside it."},
    {.kind = eMode,
     .names = "to",
     .value = "FORMAT",
     .valueKind = eFormat,
     .help = "writes each look or LUT file into NAME.EXT beside it, in a format other tools "
             "load: {to-formats}. Looks are rendered as -cubrel renders them, LUT files applied "
             "at the new nodes. Per-channel transforms become 1D tables of {1d-entries} entries "
             "in {1d-formats}. A folder stands for every look and LUT file in it. -to cubrel is "
             "-cubrel.",
     .more = "FORMAT is taken in any letter case; OUTPUT FORMATS below says what each file holds. "
             "An output never replaces its own input nor a LUT file that the look reads, and an "
             "existing NAME.EXT only when it is a file of the same format that Gradeshift wrote "
             "(or with -overwrite)."},
    {.kind = eMode,
     .names = "compare",
     .value = {},
     .help = "compares the transforms of the two inputs A and B at the nodes of a lattice of "
             "-size N points (2 to 129, default 33) and at the centres of its cells, in 10-bit "
             "codes and in CIEDE2000 (RGB read as sRGB display values, IEC 61966-2-1, D65); "
             "writes nothing. Exit code 0 within -tolerance, 2 beyond it, 1 when a file "
             "cannot be read (why on standard error).",
     .more = "Looks are rendered and LUT files applied as -to evaluates them. For each of the "
             "nodes, the cell centres and all colours, the largest, mean and 99.9th-percentile "
             "difference per channel and over all channels, the same figures in dE00, the five "
             "colours of largest dE00 with both outputs, and the verdict."},
    {.kind = eMode,
     .names = "info",
     .value = {},
     .help = "says what each input is and writes nothing: a LUT file's format, tables and "
             "ranges; a look's layers, base grading, channels, CDL, LUT files and whether it "
             "renders."},
    {.kind = eMode,
     .names = "preview",
     .value = {},
     .help = "writes NAME.preview.png for each input instead of converting it: a test chart as "
             "it is and through the file's transform, side by side, as -to evaluates it through "
             "a lattice of -size N points (2 to 129, default 65).",
     .more = "The chart holds the 24 patches of a colour checker, a grey ramp in 1% steps, hue "
             "sweeps at full and half saturation and a smooth gradient. Values outside 0..1 are "
             "clipped only for display. An existing NAME.preview.png is replaced only when "
             "Gradeshift wrote it (or with -overwrite)."},
    {.kind = eOption,
     .names = "image",
     .value = "FILE",
     .valueKind = eFile,
     .help = "with -preview, show the PNG picture FILE (8 or 16 bits) instead of the test chart.",
     .goesWith = "preview"},
    {.kind = eOption,
     .names = "report",
     .value = "FILE",
     .valueKind = eFile,
     .help = "with any mode, also write FILE, one HTML page of the run: a row per input with its "
             "outcome, output, a before/after picture and comparison, and a summary on top.",
     .more = "The page needs no network and no script. It is written at the end of the run, also "
             "when files failed; an existing FILE only when Gradeshift wrote it (or with "
             "-overwrite)."},
    {.kind = eOption,
     .names = "json",
     .value = {},
     .help = "with -compare or -info, print one JSON object per line (JSON Lines).",
     .goesWith = "info"},
    {.kind = eOption,
     .names = "tolerance",
     .value = "T",
     .valueKind = eNumber,
     .help = "-compare's tolerance in 10-bit codes, on every colour (default 1).",
     .goesWith = "compare"},
    {.kind = eOption,
     .names = "tolerance-de",
     .value = "E",
     .valueKind = eNumber,
     .help = "-compare's tolerance in dE00 besides the one in codes (default none).",
     .goesWith = "compare"},
    {.kind = eOption,
     .names = "size",
     .value = "N",
     .valueKind = eSize,
     .help = "rebuild: a power of two from 8 to 256, default 64;\n"
             "-cubrel: a power of two + 1 from 9 to 129, default 17.\n"
             "-to: 2 to 129 points per axis, default 33; -to hald: a\n"
             "square from 16 to 144, default 64 (level 8)."},
    {.kind = eOption,
     .names = "noresampling",
     .value = {},
     .help = "do not resample a look's stored LUT when the look cannot be rendered; such looks "
             "are not converted."},
    {.kind = eOption,
     .names = "jobs",
     .value = "N",
     .valueKind = eNumber,
     .help = "convert N files at once, N 1 or more (default: one per core;\n"
             "1: one after the other). Output and files are the same for\n"
             "every N."},
    {.kind = eOption,
     .names = "strict",
     .value = {},
     .help = "exit with 2 when any file failed, and print a summary on standard error."},
    {.kind = eOption,
     .names = "out",
     .value = "DIR",
     .valueKind = eFolder,
     .help = "write every output into the folder DIR, under the name it would have beside its "
             "input, and change no input. A look made for a LUT file names it by its absolute "
             "path. Of two inputs whose outputs meet in DIR, the first is converted.",
     .more = "DIR must exist and take new files, else the run stops before any file. DIR naming "
             "an input's own folder is the same as no -out."},
    {.kind = eOption,
     .names = "v verbose",
     .value = {},
     .help = "say on standard error what each file wrote, or why nothing."},
    {.kind = eOption,
     .names = "overwrite",
     .value = {},
     .help = "replace a file of an output's name that Gradeshift did not write.",
     .more = "Never the input itself, nor a LUT file that the look reads."},
    {.kind = eQuestion,
     .names = "--help -h -help",
     .value = {},
     .help = "print the help text and exit with 0.",
     .more = "Only when given alone and no file of that name exists; else it is an input like "
             "any other."},
    {.kind = eQuestion,
     .names = "--version",
     .value = {},
     .help = "print \"Gradeshift\" and the version, and exit with 0."},
};

constexpr ExitCodeText kExitCodes[] = {
    {0, "every file was tried (each file's messages say how it went); -compare: within the "
        "tolerance"},
    {1, "the run could not start: bad option or size, no input found, or the installation is "
        "incomplete; -compare: a file could not be read"},
    {2, "with -strict: one or more files failed; -compare: beyond the tolerance"},
};

constexpr UsageExample kExamples[] = {
    {"looks/", "Rebuild every look in looks/ at size 64."},
    {"\"shots/*.look\" -size 32", "Rebuild the looks that match at size 32."},
    {"luts/ -cubrel -size 33", "Convert the looks and LUT files in luts/ to 33-point Cubrel LUTs."},
    {"shot.look -to cube -size 33",
     "Write shot.cube for a camera, monitor or recorder that loads cube files."},
    {"\"grades/*.look\" -to clf", "Write a Common LUT Format file beside each look."},
    {"shot.look -to hald", "Write shot.png, a Hald CLUT image that photo tools load."},
    {"-cubrel -out /tmp/cubrel /mnt/share/grades/*.cube",
     "Convert the cube files of a read-only share into /tmp/cubrel."},
    {"\"/mnt/grades/*.look\" -cubrel -size 65 -jobs 4 -strict",
     "Convert four files at once, and exit with 2 when any failed."},
    {"-compare shot.look shot.cube -size 33",
     "Check that shot.cube holds shot.look, within one 10-bit code (exit code 0 or 2)."},
    {"-info -json grades/", "Describe every look and LUT file in grades/ as JSON Lines."},
    {"grades/ -preview -report grades.html",
     "Write a before/after picture of each file in grades/, and a page that shows them all."},
};

constexpr std::string_view kLutFormatsHeading =
    "LUT formats and their extensions (any letter case)";

constexpr std::string_view kSummary = "Gradeshift converts colour-grading looks and LUT files.";

constexpr std::string_view kClosingParagraphs[] = {
    "Outputs: a LUT file under another extension (NAME.cube, ...) writes NAME.lut\n"
    "or NAME.look only where no such file is, or where it is a Cubrel LUT or a look\n"
    "made for that same file; of several inputs that would write one file, a\n"
    ".look or .lut input writes it, and else the first.",
    "Standard output is the log of each file. On a terminal, with -strict and with\n"
    "-v, standard error also says why each failed file failed, one line each\n"
    "(gradeshift: PATH: CAUSE). On a terminal, a progress line and a summary of\n"
    "the files converted, unchanged and failed are shown there too.",
};

// The widest line of a wrapped text: one column short of a terminal's 80,
// where a full line wraps on some terminals.
constexpr size_t kHelpWidth = 79;
// Where the text of an entry starts.
constexpr size_t kHelpTextColumn = 16;

// "a, b and c", or with "or".
std::string JoinedList(const std::vector<std::string>& items, const char* lastJoin) {
    std::string list;
    for (size_t index = 0; index < items.size(); ++index) {
        if (index > 0)
            list += index + 1 == items.size() ? std::string(" ") + lastJoin + " " : ", ";
        list += items[index];
    }
    return list;
}

std::string ExportFormatList() {
    std::vector<std::string> items;
    for (const ExportFormat& format : ExportFormats()) {
        std::string item = format.toName;
        if (format.helpNote)
            item += std::string(" (") + format.helpNote + ")";
        items.push_back(item);
    }
    return JoinedList(items, "or");
}

std::string OneDimensionalFormatList() {
    std::vector<std::string> items;
    for (const ExportFormat& format : ExportFormats())
        if (format.holds1D)
            items.emplace_back(format.toName);
    return JoinedList(items, "and");
}

void ReplaceAll(std::string& text, std::string_view word, const std::string& replacement) {
    for (size_t at = text.find(word); at != std::string::npos;
         at = text.find(word, at + replacement.size()))
        text.replace(at, word.size(), replacement);
}

// Appends the text after `first` (the label and its indent), its lines starting
// at `indent`: lines broken by hand as they are, a single line wrapped.
void AppendWrapped(std::string& out, const std::string& first, size_t indent,
                   std::string_view text) {
    std::string line = first;
    if (line.size() >= indent) { // a label too wide for its column stands on its own line
        out += line + '\n';
        line.clear();
    }
    line.resize(indent, ' ');
    const bool brokenByHand = text.find('\n') != std::string_view::npos;
    bool lineEmpty = true;
    while (!text.empty()) {
        const size_t end = text.find_first_of(brokenByHand ? "\n" : " ");
        const std::string_view word = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!lineEmpty && (brokenByHand || line.size() + 1 + word.size() > kHelpWidth)) {
            out += line + '\n';
            line.assign(indent, ' ');
            lineEmpty = true;
        }
        if (!lineEmpty)
            line += ' ';
        line += word;
        lineEmpty = false;
    }
    out += line + '\n';
}

// "-size N", "-v, -verbose", "input".
std::string HelpLabel(const UsageEntry& entry) {
    if (entry.kind == eOperand || entry.kind == eDefaultMode)
        return std::string(entry.names);
    std::string label;
    for (std::string_view name : NamesOf(entry))
        label += (label.empty() ? "-" : ", -") + std::string(name);
    if (!entry.value.empty())
        label += " " + std::string(entry.value);
    return label;
}

void AppendEntries(std::string& out, std::span<const EUsageEntry> kinds) {
    for (const UsageEntry& entry : kEntries)
        if (std::find(kinds.begin(), kinds.end(), entry.kind) != kinds.end())
            AppendWrapped(out, "  " + HelpLabel(entry), kHelpTextColumn,
                          ExpandUsageText(entry.help));
}

// The formats in the order Load tries them, under a heading for each way of
// recognising them.
void AppendLutFormats(std::string& out) {
    constexpr size_t kExtensionColumn = 32;
    out += std::string(kLutFormatsHeading) + ":\n";
    std::string_view previous;
    for (const LutFormat& format : LutFormats()) {
        const std::string_view heading = RecognitionHeading(format);
        if (heading != previous)
            out += " " + std::string(heading) + ":\n";
        previous = heading;
        std::string line = "  " + std::string(format.name);
        for (std::string_view extension : format.extensions) {
            line.resize(std::max(line.size() + 1, kExtensionColumn), ' ');
            line += extension;
        }
        out += line + '\n';
    }
}

} // namespace

std::span<const UsageEntry> UsageEntries() {
    return kEntries;
}

std::span<const ExitCodeText> ExitCodeTexts() {
    return kExitCodes;
}

std::span<const UsageExample> UsageExamples() {
    return kExamples;
}

std::string_view UsageSummary() {
    return kSummary;
}

std::span<const std::string_view> UsageClosingParagraphs() {
    return kClosingParagraphs;
}

std::string_view LutFormatsHeading() {
    return kLutFormatsHeading;
}

std::string_view RecognitionHeading(const LutFormat& format) {
    switch (format.recognition) {
    case ELutRecognition::eByExtension:
        return format.read ? "chosen by the extension"
                           : "read through OpenColorIO, chosen by the extension";
    case ELutRecognition::eByContents:
        return "recognised by their contents, in this order";
    case ELutRecognition::eAsLastResort:
        return "tried last, when no format above takes the file";
    case ELutRecognition::eNotRead:
        break;
    }
    return {};
}

std::vector<std::string_view> NamesOf(const UsageEntry& entry) {
    std::vector<std::string_view> names;
    std::string_view rest = entry.names;
    while (!rest.empty()) {
        const size_t space = rest.find(' ');
        names.push_back(rest.substr(0, space));
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    }
    return names;
}

std::string ExpandUsageText(std::string_view text) {
    std::string expanded(text);
    ReplaceAll(expanded, "{to-formats}", ExportFormatList());
    ReplaceAll(expanded, "{1d-formats}", OneDimensionalFormatList());
    ReplaceAll(expanded, "{1d-entries}", std::to_string(kExport1DSize));
    return expanded;
}

std::string HelpText() {
    std::string out = std::string(kSummary) + "\n\n";
    out += "Usage: gradeshift [options] input... [options]\n"
           "       gradeshift --help | --version\n\n";
    AppendEntries(out, std::array{eOperand});
    out += "\nModes:\n";
    AppendEntries(out, std::array{eDefaultMode, eMode});
    out += "\nOptions (anywhere, any letter case; also as --name, --name=VALUE, --name VALUE):\n";
    AppendEntries(out, std::array{eOption});
    for (std::string_view paragraph : kClosingParagraphs)
        out += "\n" + std::string(paragraph) + "\n";
    out += "\n";
    AppendLutFormats(out);
    out += "\nExit codes:\n";
    for (const ExitCodeText& exitCode : kExitCodes)
        AppendWrapped(out, "  " + std::to_string(exitCode.code), 5, exitCode.meaning);
    return out;
}
