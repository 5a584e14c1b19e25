#include "tool/driver.h"

#include "foundation/file_access.h"
#include "foundation/paths.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"
#include "platform/environment.h"
#include "tool/batch_results.h"
#include "tool/batch_run.h"
#include "tool/command_line.h"
#include "tool/input_collection.h"
#include "tool/inspection_runs.h"
#include "tool/output_path.h"
#include "tool/run_environment.h"
#include "tool/run_progress.h"
#include "tool/run_report.h"
#include "tool/run_settings.h"
#include "tool/run_setup.h"
#include "tool/usage_text.h"

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
        std::fputs(HelpText().c_str(), stdout);
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

// The usage on standard output after the reason on standard error.
void RefuseCommandLine(const std::string& reason) {
    std::fputs(reason.c_str(), stderr);
    std::fflush(stderr);
    PrintUsage();
    std::fflush(stdout);
    std::fputs("Try 'gradeshift --help' for more information.\n", stderr);
}

// Says on standard error what is wrong, around the usage on standard output.
bool ReportCommandLine(EOptionResult result, const OptionProblem& problem) {
    if (result == EOptionResult::eAccepted)
        return true;
    if (result == EOptionResult::eUnknownArgument) {
        std::printf("Unknown argument: %s\n\n", problem.option.c_str());
        std::fflush(stdout);
        RefuseCommandLine("gradeshift: " + std::string(problem.option.View()) +
                          ": unknown option\n");
    } else {
        RefuseCommandLine("gradeshift: " + std::string(problem.option.View()) + ": " +
                          problem.cause.c_str() + "\n");
    }
    return false;
}

// Prints why the run does not start, where each kind has always gone.
void PrintProblem(const RunProblem& problem) {
    switch (problem.kind) {
    case ERunProblem::eBadValue:
    case ERunProblem::eTwoFormats:
        RefuseCommandLine("gradeshift: " + problem.option + ": " + problem.text + "\n");
        return;
    case ERunProblem::eNoInput:
        RefuseCommandLine("gradeshift: " + problem.text + "\n");
        return;
    case ERunProblem::eOutFolder:
        std::fprintf(stderr, "gradeshift: -out %s: %s\n", problem.option.c_str(),
                     problem.text.c_str());
        return;
    case ERunProblem::eFileOption:
        std::fprintf(stderr, "gradeshift: %s: %s\n", problem.option.c_str(), problem.text.c_str());
        return;
    case ERunProblem::eInputsMissing:
        return;
    case ERunProblem::eBadSize:
    case ERunProblem::eOutOfMemory:
    case ERunProblem::eNothingFound:
    case ERunProblem::eInputNotFound:
        std::printf("%s\n\n", problem.text.c_str());
        return;
    }
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

// Why a file failed, or from what it was converted instead; with `verbose`
// also what each file wrote, or why nothing.
void SayOnStandardError(const FileReport& report, const std::string& path, bool verbose) {
    const EFileOutcome outcome = report.Outcome();
    std::string fallback;
    if (outcome == EFileOutcome::eFromStoredLut) {
        fallback = "from its stored LUT:";
        for (const std::string& warning : report.Warnings())
            fallback += " " + warning + ";";
        fallback.pop_back();
    }
    if (report.DidNotConvert()) {
        std::string cause = report.Cause();
        if (cause.empty())
            cause = LastLineOf(report.Text());
        std::fprintf(stderr, "gradeshift: %s: %s\n", path.c_str(), cause.c_str());
    } else if (!verbose) {
        if (!fallback.empty())
            std::fprintf(stderr, "gradeshift: %s: %s\n", path.c_str(), fallback.c_str());
        return;
    } else if (outcome == EFileOutcome::eUnchanged) {
        std::fprintf(stderr, "gradeshift: %s: nothing written, %s\n", path.c_str(),
                     report.Unchanged().c_str());
    } else {
        std::fprintf(stderr, "gradeshift: %s -> %s (%s)%s%s\n", path.c_str(),
                     report.Written().c_str(), report.WrittenWhat().c_str(),
                     fallback.empty() ? "" : " ", fallback.c_str());
    }
    std::fflush(stderr);
}

int ConvertAll(const std::vector<CVxString>& files, RunSettings& settings,
               const RunEnvironment& environment, FileAccess& fileAccess) {
    const bool terminal = platform::StandardErrorIsTerminal();
    const bool sayCauses = terminal || settings.strict || settings.verbose;
    RunProgress progress(stderr, terminal, files.size());
    ReportPrinter printer(stdout);
    RunReport page(settings);
    progress.Show(0, FileNameOf(files[0]));
    RunBatch(files, settings, environment, fileAccess, [&](size_t index, const FileReport& report) {
        progress.Erase();
        printer.Print(report);
        page.Add(files[index], report);
        const std::string path = PathForPeople(files[index]);
        progress.Count(report, path);
        if (sayCauses)
            SayOnStandardError(report, path, settings.verbose);
        if (index + 1 < files.size())
            progress.Show(index + 1, FileNameOf(files[index + 1]));
    });
    progress.Erase();
    if (terminal || settings.strict)
        progress.PrintSummary();
    const bool reported = page.WriteIfAsked(settings, fileAccess);
    return (settings.strict && progress.AnyFailed()) || !reported ? kExitFilesFailed : kExitSuccess;
}

int Run(FileAccess& files, int argc, const char* const* argv) {
    int answered = kExitSuccess;
    if (AnswersQuestion(files, argc, argv, answered))
        return answered;
    SetCommandLine(argc, argv);
    // -compare and -info print only what they show, so that it can be read by
    // other programs; every other run begins with the banner.
    RunRequest request;
    OptionProblem problem;
    const EOptionResult parsed = ParseCommandLine(request, problem);
    const bool inspecting = parsed == EOptionResult::eAccepted && (request.compare || request.info);
    if (!inspecting)
        std::fputs("VEXLAN Gradeshift 2008\n\n", stdout);

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

    if (!ReportCommandLine(parsed, problem))
        return kExitFailure;
    RunSetUp run = SetUpRun(request, files);
    for (const EmptyInput& input : run.emptyInputs)
        std::fprintf(stderr, "gradeshift: %s: %s\n", input.argument.c_str(), input.why.c_str());
    if (run.problem) {
        PrintProblem(*run.problem);
        return kExitFailure;
    }

    std::fflush(stdout);
    if (run.settings.inspection == EInspection::eCompare)
        return RunComparison(run, environment, files);
    if (run.settings.inspection == EInspection::eInfo)
        return RunDescriptions(run, environment, files);
    return ConvertAll(run.files, run.settings, environment, files);
}

} // namespace

int RunGradeshift(int argc, const char* const* argv) {
    // OpenColorIO reads variables of its own from the environment, some of them
    // (OCIO_OPTIMIZATION_FLAGS) at every transform it builds; without them no
    // setting outside the command line changes a conversion. Removed before any
    // thread starts, as changing the environment is not safe while one reads it.
    platform::RemoveEnvironmentVariables("OCIO_");
    // An interrupted run must not leave the temporary file of a replacement behind.
    SystemFileAccess::RemoveTemporariesOnInterruption();
    SystemFileAccess files;
    const int exitCode = Run(files, argc, argv);
    std::fflush(stdout);
    return exitCode;
}
