#include "tool/run_setup.h"

#include "foundation/paths.h"
#include "inspect/png_image.h"
#include "inspect/test_chart.h"
#include "tool/batch_results.h"
#include "tool/input_collection.h"
#include "tool/output_path.h"

#include <algorithm>
#include <cerrno>
#include <thread>

namespace {

bool HasWildcard(const CVxString& text) {
    return text.FindOneOf("*?") >= 0;
}

RunProblem Problem(ERunProblem kind, std::string option, std::string text) {
    return RunProblem{kind, std::move(option), std::move(text)};
}

// -compare, -info or -preview, which take no format; a problem when two are
// asked for, or a format with them, or their options without them.
std::optional<RunProblem> TakeInspection(const RunRequest& request, RunSettings& settings) {
    if (request.compare && request.info)
        return Problem(ERunProblem::eBadValue, "-compare", "and -info ask for two modes");
    if (request.preview && (request.compare || request.info || request.cubrel || request.to))
        return Problem(ERunProblem::eBadValue, "-preview",
                       "writes pictures, so -cubrel, -to, -compare and -info do not go with it");
    if (!request.imageFile.IsEmpty() && !request.preview)
        return Problem(ERunProblem::eBadValue, "-image", "goes with -preview");
    settings.preview = request.preview;
    settings.inspection = request.compare ? EInspection::eCompare
                          : request.info  ? EInspection::eInfo
                                          : EInspection::eNone;
    const bool inspecting = settings.inspection != EInspection::eNone;
    if (inspecting && (request.cubrel || request.to))
        return Problem(ERunProblem::eBadValue, request.compare ? "-compare" : "-info",
                       "converts nothing, so -cubrel and -to do not go with it");
    if (request.json && !inspecting)
        return Problem(ERunProblem::eBadValue, "-json", "goes with -compare or -info");
    if ((request.tolerance || request.toleranceDe) && !request.compare)
        return Problem(ERunProblem::eBadValue, request.tolerance ? "-tolerance" : "-tolerance-de",
                       "goes with -compare");
    settings.json = request.json;
    settings.tolerance = request.tolerance.value_or(1.0);
    settings.toleranceDe = request.toleranceDe;
    return std::nullopt;
}

// The mode and format that the request names; a problem when it names none or two.
std::optional<RunProblem> TakeMode(const RunRequest& request, RunSettings& settings) {
    if (std::optional<RunProblem> problem = TakeInspection(request, settings))
        return problem;
    settings.cubrelMode = request.cubrel;
    if (!request.to)
        return std::nullopt;
    const CVxString& name = *request.to;
    const bool cubrel = name.EqualsNoCase("cubrel");
    settings.exportFormat = FindExportFormat(name);
    if (!settings.exportFormat && !cubrel)
        return Problem(ERunProblem::eBadValue, request.toOption.c_str(),
                       "\"" + std::string(name.View()) + "\" is not a format (" +
                           ExportFormatNames() + ")");
    if (request.cubrel && !cubrel)
        return Problem(ERunProblem::eTwoFormats, "",
                       "cubrel=True and to=\"" + std::string(name.View()) +
                           "\" ask for two formats");
    settings.cubrelMode = cubrel;
    return std::nullopt;
}

// The size rule of the mode, as people are told it when a size breaks it.
std::string SizeRule(const RunSettings& settings) {
    if (settings.inspection == EInspection::eCompare)
        return "Invalid size for comparisons. The size is the number of points per axis\n"
               "and the allowed range is 2 to 129.";
    if (settings.preview)
        return "Invalid size for previews. The size is the number of points per axis\n"
               "and the allowed range is 2 to 129.";
    if (const ExportFormat* format = settings.exportFormat)
        return SizeRuleText(*format);
    if (settings.cubrelMode)
        return "Invalid LUT size for Cubrel LUTs. The size has to be a power of two + 1\n"
               "(e.g. (2^5)+1=33) and the allowed range is 9 to 129.";
    return "Invalid LUT size for .look LUTs. The size has to be a power of two\n"
           "(e.g. (2^5)=32) and the allowed range is 8 to 256.";
}

// Why an input found nothing, for the line on standard error.
const char* WhyNothingFound(FileAccess& files, const CVxString& input, const CVxString& pattern,
                            bool everyLutFile) {
    if (pattern != input)
        return everyLutFile ? "no look or LUT file in this folder"
                            : "no .look or .lut file in this folder";
    if (HasWildcard(input))
        return "no file matches";
    return files.Lookup(input) == EPathKind::eMissing ? "no such file" : "not found";
}

// The files of every input in the order given; a file that several inputs
// find comes once, at the place of the first. When none finds a file, the
// problem is made from the last input, as the message has always been.
void CollectFiles(const RunRequest& request, FileAccess& files, RunSetUp& run) {
    const bool everyLutFile =
        run.settings.exportFormat != nullptr || run.settings.inspection != EInspection::eNone;
    const auto patternOf = [&files, everyLutFile](const CVxString& input) {
        return IsFolder(files, input) ? DirectoryPattern(input, everyLutFile) : input;
    };
    std::vector<CVxString> empty;
    run.files = InputFilesOf(files, request.inputs, empty, everyLutFile);
    for (const CVxString& input : empty)
        run.emptyInputs.push_back(
            {input, WhyNothingFound(files, input, patternOf(input), everyLutFile)});
    if (!run.files.empty())
        return;
    const CVxString lastPattern = patternOf(request.inputs.back());
    if (request.inputs.size() > 1 || HasWildcard(lastPattern)) {
        std::string names;
        for (const CVxString& input : request.inputs)
            names += (names.empty() ? "" : ", ") + std::string(input.View());
        run.problem = Problem(ERunProblem::eNothingFound, names, "No input files found.");
        return;
    }
    run.problem = Problem(ERunProblem::eInputNotFound, std::string(request.inputs.back().View()),
                          "Error: The input file (" + std::string(FileNameOf(lastPattern).View()) +
                              ") could not be opened.");
    if (files.Lookup(lastPattern) == EPathKind::eMissing)
        run.problem->error = ENOENT;
}

// -compare takes two inputs, each naming one file.
void CheckComparedFiles(const RunRequest& request, FileAccess& files, RunSetUp& run) {
    if (request.inputs.size() != 2) {
        run.problem =
            Problem(ERunProblem::eBadValue, "-compare",
                    "needs two files, A and B, not " + std::to_string(request.inputs.size()));
        return;
    }
    if (!run.emptyInputs.empty()) {
        const EmptyInput& empty = run.emptyInputs.front();
        run.problem = Problem(ERunProblem::eInputsMissing, std::string(empty.argument.View()),
                              std::string(empty.argument.View()) + ": " + empty.why);
        return;
    }
    run.files.clear();
    for (const CVxString& input : request.inputs) {
        std::vector<CVxString> found;
        CollectInputFiles(files, input, found);
        if (found.size() != 1 || IsFolder(files, input)) {
            run.problem = Problem(ERunProblem::eBadValue, "-compare",
                                  std::string(input.View()) + " names no single file");
            return;
        }
        run.files.push_back(found.front());
    }
}

RunProblem FileProblem(const char* option, const CVxString& file, const std::string& cause) {
    return Problem(ERunProblem::eFileOption, std::string(option) + " " + file.c_str(), cause);
}

// -report FILE: a page that only a run of ours wrote is replaced, in a folder
// that takes new files.
std::optional<RunProblem> TakeReportFile(const RunRequest& request, FileAccess& files,
                                         RunSettings& settings) {
    settings.reportFile = request.reportFile;
    if (request.reportFile.IsEmpty())
        return std::nullopt;
    const CVxString& report = request.reportFile;
    const CVxString folder = FolderOf(report);
    if (const FileStatus status =
            files.FolderWriteStatus(folder.IsEmpty() ? CVxString(".") : folder);
        !status)
        return FileProblem("-report", report, status.cause);
    const EPathKind kind = files.Lookup(report);
    if (kind == EPathKind::eMissing || request.overwrite)
        return std::nullopt;
    CVxString bytes;
    if (kind == EPathKind::eFile && files.ReadFile(report, bytes, 1u << 30) &&
        CarriesOurMark(ReportPageFormat(), bytes.View()))
        return std::nullopt;
    return FileProblem("-report", report,
                       "exists and is not a report that Gradeshift wrote (-overwrite replaces it)");
}

// -preview's picture: the test chart, or the PNG file of -image.
std::optional<RunProblem> TakePreviewPicture(const RunRequest& request, FileAccess& files,
                                             RunSettings& settings) {
    if (!settings.preview)
        return std::nullopt;
    if (request.imageFile.IsEmpty()) {
        settings.previewPicture = std::make_shared<const FloatImage>(MakeTestChart());
        return std::nullopt;
    }
    CVxString bytes;
    if (const FileStatus read = files.ReadFile(request.imageFile, bytes, 1u << 30); !read)
        return FileProblem("-image", request.imageFile, read.cause);
    PngReadResult picture = ReadPng(bytes.View());
    if (!picture.error.empty())
        return FileProblem("-image", request.imageFile, picture.error);
    settings.previewPicture = std::make_shared<const FloatImage>(std::move(picture.image));
    return std::nullopt;
}

} // namespace

std::string OneLine(const std::string& text) {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

RunSetUp SetUpRun(const RunRequest& request, FileAccess& files) {
    RunSetUp run;
    RunSettings& settings = run.settings;
    if (std::optional<RunProblem> problem = TakeMode(request, settings)) {
        run.problem = std::move(problem);
        return run;
    }
    if (request.jobs && *request.jobs == 0) {
        run.problem =
            Problem(ERunProblem::eBadValue, request.jobsOption.c_str(), "\"0\" is not 1 or more");
        return run;
    }
    settings.jobs = request.jobs.value_or(std::max(1u, std::thread::hardware_concurrency()));
    settings.resamplingAllowed = request.resampling;
    settings.strict = request.strict;
    settings.verbose = request.verbose;
    settings.overwrite = request.overwrite;
    settings.size = request.size;
    if (!ApplySizeRules(settings)) {
        run.problem = Problem(ERunProblem::eBadSize, "", SizeRule(settings));
        return run;
    }
    if (!PrepareCubrelBuffer(settings)) {
        run.problem = Problem(ERunProblem::eOutOfMemory, "", "Error: out of memory.");
        return run;
    }
    if (request.inputs.empty()) {
        run.problem = Problem(ERunProblem::eNoInput, "", "no input given");
        return run;
    }
    settings.outFolder = request.outFolder;
    if (const FileStatus status = UseOutputFolder(files, settings); !status) {
        run.problem = Problem(ERunProblem::eOutFolder, request.outFolder.c_str(), status.cause);
        run.problem->error = status.error;
        return run;
    }
    if (std::optional<RunProblem> problem = TakeReportFile(request, files, settings))
        run.problem = std::move(problem);
    else if (std::optional<RunProblem> picture = TakePreviewPicture(request, files, settings))
        run.problem = std::move(picture);
    if (run.problem)
        return run;
    CollectFiles(request, files, run);
    if (!run.problem && settings.inspection == EInspection::eCompare)
        CheckComparedFiles(request, files, run);
    return run;
}
