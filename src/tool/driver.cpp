#include "tool/driver.h"

#include "foundation/paths.h"
#include "foundation/settings.h"
#include "lut/cubrel_writer.h"
#include "platform/file_system.h"
#include "render/resource_archive.h"
#include "tool/command_line.h"
#include "tool/file_flows.h"
#include "tool/input_collection.h"
#include "tool/run_settings.h"

#include <cstdio>
#include <new>

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

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
    case EOptionResult::eBadSize:
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

bool PrepareCubrelBuffer(RunSettings& settings) {
    if (!settings.cubrelMode)
        return true;
    settings.cubrelBuffer.reset(new (std::nothrow) uint8_t[CubrelFileSize(settings.size)]);
    if (!settings.cubrelBuffer) {
        std::fputs("Error: out of memory.\n\n", stdout);
        return false;
    }
    PrepareCubrelHeader(settings.cubrelBuffer.get(), settings.size);
    return true;
}

bool HasWildcard(const CVxString& text) {
    return text.FindOneOf("*?") >= 0;
}

// The list does not own its paths; this holder frees them with the run.
struct OwnedFileList {
    CVxList<CVxString> list;
    ~OwnedFileList() { list.DeleteAll(); }
};

int Run(int argc, const char* const* argv) {
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
    if (!ReadOptions(settings) || !CheckSize(settings) || !PrepareCubrelBuffer(settings))
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
    FileFlows flows(settings);
    ReportPrinter printer(stdout);
    files.list.ForEach(
        [&flows, &printer](const CVxString& path) { printer.Print(flows.ProcessFile(path)); });
    return kExitSuccess;
}

} // namespace

int RunGradeshift(int argc, const char* const* argv) {
    // An interrupted run must not leave the temporary file of a replacement behind.
    platform::InstallReplacementSignalHandlers();
    const int exitCode = Run(argc, argv);
    std::fflush(stdout);
    CloseResourceArchive();
    return exitCode;
}
