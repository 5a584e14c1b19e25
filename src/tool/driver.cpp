#include "tool/driver.h"

#include "foundation/file_access.h"
#include "foundation/paths.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "tool/batch_results.h"
#include "tool/batch_run.h"
#include "tool/command_line.h"
#include "tool/input_collection.h"
#include "tool/output_path.h"
#include "tool/run_environment.h"
#include "tool/run_progress.h"
#include "tool/run_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitFilesFailed = 2;

const char* RecognitionHeading(const LutFormat& format) {
    switch (format.recognition) {
    case ELutRecognition::eByExtension:
        return format.read ? " chosen by the extension:\n"
                           : " read through OpenColorIO, chosen by the extension:\n";
    case ELutRecognition::eByContents:
        return " recognised by their contents, in this order:\n";
    case ELutRecognition::eAsLastResort:
        return " tried last, when no format above takes the file:\n";
    }
    return "";
}

// The formats in the order Load tries them, under a heading for each way of
// recognising them.
void PrintLutFormats() {
    constexpr size_t kExtensionColumn = 32;
    std::fputs("LUT formats and their extensions (any letter case):\n", stdout);
    const char* previous = nullptr;
    for (const LutFormat& format : LutFormats()) {
        const char* heading = RecognitionHeading(format);
        if (heading != previous)
            std::fputs(heading, stdout);
        previous = heading;
        std::string line = "  " + std::string(format.name);
        for (std::string_view extension : format.extensions) {
            line.resize(std::max(line.size() + 1, kExtensionColumn), ' ');
            line += extension;
        }
        line += '\n';
        std::fputs(line.c_str(), stdout);
    }
}

void PrintHelp() {
    std::fputs("Gradeshift converts colour-grading looks and LUT files.\n\n"
               "Usage: gradeshift [options] input... [options]\n"
               "       gradeshift --help | --version\n\n"
               "  input         a file, a wildcard (\"*.look\") or a folder (its .look and .lut\n"
               "                files). Inputs are converted in the order given, a file that\n"
               "                several inputs find only once; \"--\" makes every later argument\n"
               "                an input.\n\n"
               "Modes:\n"
               "  rebuild       (the default) renders each look's grading afresh into a stored\n"
               "                LUT of size N and rewrites the look; a LUT file (NAME.lut,\n"
               "                NAME.cube, NAME.clf, ...) becomes a look NAME.look beside it\n"
               "                that names the LUT.\n"
               "  -cubrel       renders each look into a Cubrel LUT NAME.lut beside it, converts\n"
               "                a .lut file into a Cubrel LUT in place, and any other LUT file\n"
               "                NAME.EXT into a Cubrel LUT NAME.lut beside it.\n"
               "  -to FORMAT    writes what -cubrel renders into NAME.EXT beside each look or\n"
               "                LUT file, in a format other tools load: cube, 3dl, clf, ctf,\n"
               "                csp (cinespace), cub (Truelight), itx, spi3d, spi1d, cc (ASC\n"
               "                CDL of a per-channel look) or hald (16-bit Hald CLUT .png).\n"
               "                Per-channel transforms become 1D tables of 4096 entries in\n"
               "                cube, clf, ctf and spi1d. -to cubrel is -cubrel.\n\n"
               "Options (anywhere, any letter case; also as --name, --name=VALUE, --name VALUE):\n"
               "  -size N       rebuild: a power of two from 8 to 256, default 64;\n"
               "                -cubrel: a power of two + 1 from 9 to 129, default 17.\n"
               "                -to: 2 to 129 points per axis, default 33; -to hald: a\n"
               "                square from 16 to 144, default 64 (level 8).\n"
               "  -noresampling do not resample a look's stored LUT when the look cannot be\n"
               "                rendered; such looks are not converted.\n"
               "  -jobs N       convert N files at once, N 1 or more (default: one per core;\n"
               "                1: one after the other). Output and files are the same for\n"
               "                every N.\n"
               "  -strict       exit with 2 when any file failed, and print a summary on\n"
               "                standard error.\n"
               "  -out DIR      write every output into the folder DIR, under the name it would\n"
               "                have beside its input, and change no input. A look made for a\n"
               "                LUT file names it by its absolute path. Of two inputs whose\n"
               "                outputs meet in DIR, the first is converted.\n"
               "  -v, -verbose  say on standard error what each file wrote, or why nothing.\n\n"
               "Outputs: a LUT file under another extension (NAME.cube, ...) writes NAME.lut\n"
               "or NAME.look only where no such file is, or where it is a Cubrel LUT or a look\n"
               "made for that same file; of several inputs that would write one file, a\n"
               ".look or .lut input writes it, and else the first.\n\n"
               "Standard output is the log of each file. On a terminal, with -strict and with\n"
               "-v, standard error also says why each failed file failed, one line each\n"
               "(gradeshift: PATH: CAUSE). On a terminal, a progress line and a summary of\n"
               "the files converted, unchanged and failed are shown there too.\n\n",
               stdout);
    PrintLutFormats();
    std::fputs("\n"
               "Exit codes:\n"
               "  0  every file was tried (each file's messages say how it went)\n"
               "  1  the run could not start: bad option or size, no input found, or the\n"
               "     installation is incomplete\n"
               "  2  with -strict: one or more files failed\n",
               stdout);
}

// --help, -h, -help or --version given alone, and no file of that name.
bool AnswersQuestion(FileAccess& files, int argc, const char* const* argv, int& exitCode) {
    if (argc != 2 || !argv[1])
        return false;
    const char* argument = argv[1];
    const bool help = std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0 ||
                      std::strcmp(argument, "-help") == 0;
    const bool version = std::strcmp(argument, "--version") == 0;
    if (!help && !version)
        return false;
    const CVxString path(argument);
    if (files.Lookup(path) != EPathKind::eMissing)
        return false;
    if (help)
        PrintHelp();
    else
        std::fputs("Gradeshift " GRADESHIFT_VERSION "\n", stdout);
    exitCode = kExitSuccess;
    return true;
}

void PrintUsage() {
    std::fputs(
        "Usage: Gradeshift input [-cubrel] [-size N] [-noresampling]\n\n"
        "  Input can be either a wildcard (*.look), a single file, or a directory.\n"
        "  If input is a directory, all look files in that directory will be processed.\n\n"
        "  When -cubrel is specified, all input looks are converted to Cubrel LUTs\n\n"
        "  Size - for rebuilding look LUTs, size must be a power of two, minimum is 8,\n"
        "         maximum 256, and the default size is 64.\n"
        "       - for converting looks to Cubrel LUTs, size must be a power of two + 1,\n"
        "         minimum is 9, maximum 129, and the default is 17.\n\n"
        "  -noresampling disables resampling of LUTs when they can't be rendered from\n"
        "  the source look (e.g. when some LUTs used by the look are missing).\n"
        "  If resampling is disabled, the looks that can't be rendered won't be converted.\n",
        stdout);
}

// Says on standard error what is wrong, around the usage on standard output.
bool ReadCommandLine(RunSettings& settings, std::vector<CVxString>& inputs) {
    OptionProblem problem;
    const EOptionResult result = ParseCommandLine(settings, inputs, problem);
    if (result == EOptionResult::eAccepted)
        return true;
    if (result == EOptionResult::eUnknownArgument) {
        std::printf("Unknown argument: %s\n\n", problem.option.c_str());
        std::fprintf(stderr, "gradeshift: %s: unknown option\n", problem.option.c_str());
    } else {
        std::fprintf(stderr, "gradeshift: %s: %s\n", problem.option.c_str(), problem.cause.c_str());
    }
    std::fflush(stdout);
    std::fflush(stderr);
    PrintUsage();
    std::fflush(stdout);
    std::fputs("Try 'gradeshift --help' for more information.\n", stderr);
    return false;
}

bool CheckSize(RunSettings& settings) {
    if (ApplySizeRules(settings))
        return true;
    const ExportFormat* format = settings.exportFormat;
    if (format && format->kind == EExportKind::eHald)
        std::fputs("Invalid size for Hald CLUTs. The size has to be the square of a level\n"
                   "(e.g. 8*8=64) and the allowed range is 16 to 144.\n\n",
                   stdout);
    else if (format)
        std::printf("Invalid LUT size for %s files. The size is the number of points per axis\n"
                    "and the allowed range is 2 to 129.\n\n",
                    format->name);
    else if (settings.cubrelMode)
        std::fputs("Invalid LUT size for Cubrel LUTs. The size has to be a power of two + 1\n"
                   "(e.g. (2^5)+1=33) and the allowed range is 9 to 129.\n\n",
                   stdout);
    else
        std::fputs("Invalid LUT size for .look LUTs. The size has to be a power of two\n"
                   "(e.g. (2^5)=32) and the allowed range is 8 to 256.\n\n",
                   stdout);
    return false;
}

bool PrepareOutputBuffer(RunSettings& settings) {
    if (PrepareCubrelBuffer(settings))
        return true;
    std::fputs("Error: out of memory.\n\n", stdout);
    return false;
}

bool HasWildcard(const CVxString& text) {
    return text.FindOneOf("*?") >= 0;
}

bool CheckOutputFolder(FileAccess& files, RunSettings& settings) {
    const std::string failure = UseOutputFolder(files, settings);
    if (!failure.empty())
        std::fprintf(stderr, "gradeshift: -out %s: %s\n", settings.outFolder.c_str(),
                     failure.c_str());
    return failure.empty();
}

// Why an input found nothing, for the line on standard error.
const char* WhyNothingFound(FileAccess& files, const CVxString& input, const CVxString& pattern) {
    if (pattern != input)
        return "no .look or .lut file in this folder";
    if (HasWildcard(input))
        return "no file matches";
    return files.Lookup(input) == EPathKind::eMissing ? "no such file" : "not found";
}

// The files of every input in the order given; a file that several inputs
// find comes once, at the place of the first. An input that finds nothing is named on
// standard error; `lastPattern` is the pattern of the last input, which the
// message of a run that finds nothing at all is made from.
std::vector<CVxString> CollectAllInputs(FileAccess& files, const std::vector<CVxString>& inputs,
                                        CVxString& lastPattern) {
    std::vector<CVxString> empty;
    std::vector<CVxString> collected = InputFilesOf(files, inputs, empty);
    const auto patternOf = [&files](const CVxString& input) {
        return IsFolder(files, input) ? DirectoryPattern(input) : input;
    };
    for (const CVxString& input : empty)
        std::fprintf(stderr, "gradeshift: %s: %s\n", input.c_str(),
                     WhyNothingFound(files, input, patternOf(input)));
    if (!inputs.empty())
        lastPattern = patternOf(inputs.back());
    return collected;
}

// The last message of a block, without its indent: the cause of a failure
// that no flow named.
std::string LastLineOf(const std::string& text) {
    std::string_view rest = text;
    while (!rest.empty() && rest.back() == '\n')
        rest.remove_suffix(1);
    rest = rest.substr(rest.rfind('\n') + 1);
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    return std::string(rest);
}

// Why a file failed; with `verbose` also what it wrote, or why nothing.
void SayOnStandardError(const FileReport& report, EFileOutcome outcome, const std::string& path,
                        bool verbose) {
    if (outcome == EFileOutcome::eFailed) {
        std::string cause = report.Cause();
        if (cause.empty())
            cause = LastLineOf(report.Text());
        std::fprintf(stderr, "gradeshift: %s: %s\n", path.c_str(), cause.c_str());
    } else if (!verbose) {
        return;
    } else if (outcome == EFileOutcome::eConverted) {
        std::fprintf(stderr, "gradeshift: %s -> %s (%s)\n", path.c_str(), report.Written().c_str(),
                     report.WrittenWhat().c_str());
    } else {
        std::fprintf(stderr, "gradeshift: %s: nothing written, %s\n", path.c_str(),
                     report.Unchanged().c_str());
    }
    std::fflush(stderr);
}

int ConvertAll(const std::vector<CVxString>& files, RunSettings& settings,
               const RunEnvironment& environment, FileAccess& fileAccess) {
    if (settings.jobs == 0)
        settings.jobs = std::max(1u, std::thread::hardware_concurrency());

    const bool terminal = platform::StandardErrorIsTerminal();
    const bool sayCauses = terminal || settings.strict || settings.verbose;
    RunProgress progress(stderr, terminal, files.size());
    ReportPrinter printer(stdout);
    progress.Show(0, FileNameOf(files[0]));
    RunBatch(files, settings, environment, fileAccess, [&](size_t index, const FileReport& report) {
        progress.Erase();
        printer.Print(report);
        const std::string path = PathForPeople(files[index]);
        const EFileOutcome outcome = progress.Count(report, path);
        if (sayCauses)
            SayOnStandardError(report, outcome, path, settings.verbose);
        if (index + 1 < files.size())
            progress.Show(index + 1, FileNameOf(files[index + 1]));
    });
    progress.Erase();
    if (terminal || settings.strict)
        progress.PrintSummary();
    return settings.strict && progress.AnyFailed() ? kExitFilesFailed : kExitSuccess;
}

int Run(FileAccess& files, int argc, const char* const* argv) {
    int answered = kExitSuccess;
    if (AnswersQuestion(files, argc, argv, answered))
        return answered;
    std::fputs("VEXLAN Gradeshift 2008\n\n", stdout);
    SetCommandLine(argc, argv);

    if (!IsAbsolutePath(ProgramFolder())) {
        std::fputs("This application must be started using the supplied launch script.\n", stdout);
        return kExitFailure;
    }
    if (CommandLineArgs().Count() < 2) {
        PrintUsage();
        return kExitFailure;
    }
    // Settings, LUT folders and shaders are read once, before any file: every
    // file of the run sees the same of them, however many convert at once.
    RunEnvironment environment(files);
    if (!environment.Resources()) {
        std::fputs("Resources.vxf not found, please start this application\n"
                   "in the folder where it was originally installed.",
                   stdout);
        return kExitFailure;
    }

    RunSettings settings;
    std::vector<CVxString> inputs;
    if (!ReadCommandLine(settings, inputs) || !CheckSize(settings) ||
        !PrepareOutputBuffer(settings))
        return kExitFailure;
    if (inputs.empty()) {
        std::fputs("gradeshift: no input given\n", stderr);
        PrintUsage();
        std::fflush(stdout);
        std::fputs("Try 'gradeshift --help' for more information.\n", stderr);
        return kExitFailure;
    }

    if (!CheckOutputFolder(files, settings))
        return kExitFailure;

    CVxString lastPattern;
    const std::vector<CVxString> found = CollectAllInputs(files, inputs, lastPattern);
    if (found.empty()) {
        if (inputs.size() > 1 || HasWildcard(lastPattern))
            std::fputs("No input files found.\n\n", stdout);
        else
            std::printf("Error: The input file (%s) could not be opened.\n\n",
                        FileNameOf(lastPattern).c_str());
        return kExitFailure;
    }

    std::fflush(stdout);
    return ConvertAll(found, settings, environment, files);
}

} // namespace

int RunGradeshift(int argc, const char* const* argv) {
    // OpenColorIO reads variables of its own from the environment, some of them
    // (OCIO_OPTIMIZATION_FLAGS) at every transform it builds; without them no
    // setting outside the command line changes a conversion. Removed before any
    // thread starts, as changing the environment is not safe while one reads it.
    platform::RemoveEnvironmentVariables("OCIO_");
    // An interrupted run must not leave the temporary file of a replacement behind.
    platform::InstallReplacementSignalHandlers();
    SystemFileAccess files;
    const int exitCode = Run(files, argc, argv);
    std::fflush(stdout);
    return exitCode;
}
