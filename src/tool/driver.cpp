#include "tool/driver.h"

#include "foundation/paths.h"
#include "foundation/settings.h"
#include "lut/lut_folder_index.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "render/resource_archive.h"
#include "render/shader_registry.h"
#include "tool/batch_run.h"
#include "tool/command_line.h"
#include "tool/input_collection.h"
#include "tool/run_progress.h"
#include "tool/run_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitFilesFailed = 2;

const char* RecognitionHeading(ELutRecognition recognition) {
    switch (recognition) {
    case ELutRecognition::eByExtension:
        return " read through OpenColorIO, chosen by the extension:\n";
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
    const LutFormat* previous = nullptr;
    for (const LutFormat& format : LutFormats()) {
        if (!previous || previous->recognition != format.recognition)
            std::fputs(RecognitionHeading(format.recognition), stdout);
        previous = &format;
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
               "Usage: gradeshift input [-cubrel] [-size N] [-noresampling] [-jobs N] [-strict]\n"
               "       gradeshift --help | --version\n\n"
               "  input         a file, a wildcard (\"*.look\") or a folder (its .look and .lut "
               "files).\n\n"
               "Modes:\n"
               "  rebuild       (the default) renders each look's grading afresh into a stored\n"
               "                LUT of size N and rewrites the look; a LUT file (NAME.lut,\n"
               "                NAME.cube, NAME.clf, ...) becomes a look NAME.look beside it\n"
               "                that names the LUT.\n"
               "  -cubrel       renders each look into a Cubrel LUT NAME.lut beside it, converts\n"
               "                a .lut file into a Cubrel LUT in place, and any other LUT file\n"
               "                NAME.EXT into a Cubrel LUT NAME.lut beside it.\n\n"
               "Options (any letter case, after the input):\n"
               "  -size N       rebuild: a power of two from 8 to 256, default 64;\n"
               "                -cubrel: a power of two + 1 from 9 to 129, default 17.\n"
               "  -noresampling do not resample a look's stored LUT when the look cannot be\n"
               "                rendered; such looks are not converted.\n"
               "  -jobs N       convert N files at once (default: one per core; 1: one after\n"
               "                the other). Output and files are the same for every N.\n"
               "  -strict       exit with 2 when any file failed, and print a summary on\n"
               "                standard error.\n\n",
               stdout);
    PrintLutFormats();
    std::fputs("\nWhen standard error is a terminal, a progress line and a summary of the files\n"
               "converted, unchanged and failed are shown there.\n\n"
               "Exit codes:\n"
               "  0  every file was tried (each file's messages say how it went)\n"
               "  1  the run could not start: bad option or size, no input found, or the\n"
               "     installation is incomplete\n"
               "  2  with -strict: one or more files failed\n",
               stdout);
}

// --help, -h, -help or --version given alone, and no file of that name.
bool AnswersQuestion(int argc, const char* const* argv, int& exitCode) {
    if (argc != 2 || !argv[1])
        return false;
    const char* argument = argv[1];
    const bool help = std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0 ||
                      std::strcmp(argument, "-help") == 0;
    const bool version = std::strcmp(argument, "--version") == 0;
    if (!help && !version)
        return false;
    const CVxString path(argument);
    if (FileExists(path) || IsDirectory(path))
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

bool OpenInstalledResources() {
    CVxString archivePath = GlobalSettings().ResourceFolder();
    archivePath += "Resources.vxf";
    return OpenResourceArchive(archivePath);
}

bool ReadOptions(RunSettings& settings) {
    CVxString offending;
    switch (ParseOptions(settings, offending)) {
    case EOptionResult::eAccepted:
        return true;
    case EOptionResult::eUnknownArgument:
        std::printf("Unknown argument: %s\n\n", offending.c_str());
        break;
    case EOptionResult::eBadValue:
        break;
    }
    PrintUsage();
    return false;
}

bool CheckSize(RunSettings& settings) {
    if (ApplySizeRules(settings))
        return true;
    if (settings.cubrelMode)
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

// The list does not own its paths; this holder frees them with the run.
struct OwnedFileList {
    CVxList<CVxString> list;
    ~OwnedFileList() { list.DeleteAll(); }
};

int ConvertAll(const CVxList<CVxString>& list, RunSettings& settings) {
    std::vector<CVxString> files;
    list.ForEach([&files](const CVxString& path) { files.push_back(path); });
    if (settings.jobs == 0)
        settings.jobs = std::max(1u, std::thread::hardware_concurrency());
    // The LUT folders and the shader folder are listed before any file is
    // converted: every file then finds the same LUTs and shaders however many run
    // at once, and no file waits for an earlier one (see RunBatch) while it holds
    // the others back from a listing made once for the whole run.
    LutFolderIndex::Shared();
    CVxShaderRegistry::Get();
    // OpenColorIO keeps every file it parses until told to forget them: cleared
    // here, once, the run reads each file as it is on disk when the run starts,
    // and a file read twice (a notice, then the render) is parsed once. Its
    // caches lock themselves, so files read through it convert at once.
    ClearOcioCaches();

    const bool terminal = platform::StandardErrorIsTerminal();
    RunProgress progress(stderr, terminal, files.size());
    ReportPrinter printer(stdout);
    progress.Show(0, FileNameOf(files[0]));
    RunBatch(files, settings, [&](size_t index, const FileReport& report) {
        progress.Erase();
        printer.Print(report);
        progress.Count(report);
        if (index + 1 < files.size())
            progress.Show(index + 1, FileNameOf(files[index + 1]));
    });
    progress.Erase();
    if (terminal || settings.strict)
        progress.PrintSummary();
    return settings.strict && progress.AnyFailed() ? kExitFilesFailed : kExitSuccess;
}

int Run(int argc, const char* const* argv) {
    int answered = kExitSuccess;
    if (AnswersQuestion(argc, argv, answered))
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
    if (!OpenInstalledResources()) {
        std::fputs("Resources.vxf not found, please start this application\n"
                   "in the folder where it was originally installed.",
                   stdout);
        return kExitFailure;
    }

    RunSettings settings;
    if (!ReadOptions(settings) || !CheckSize(settings) || !PrepareOutputBuffer(settings))
        return kExitFailure;

    CVxString pattern = CommandLineArg(1);
    if (IsDirectory(pattern))
        pattern = DirectoryPattern(pattern);

    OwnedFileList files;
    CollectInputFiles(pattern, files.list);
    if (files.list.IsEmpty()) {
        if (HasWildcard(pattern))
            std::fputs("No input files found.\n\n", stdout);
        else
            std::printf("Error: The input file (%s) could not be opened.\n\n",
                        FileNameOf(pattern).c_str());
        return kExitFailure;
    }

    std::fflush(stdout);
    return ConvertAll(files.list, settings);
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
    const int exitCode = Run(argc, argv);
    std::fflush(stdout);
    CloseResourceArchive();
    return exitCode;
}
