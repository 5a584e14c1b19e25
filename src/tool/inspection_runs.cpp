#include "tool/inspection_runs.h"

#include "foundation/paths.h"
#include "inspect/comparison_report.h"
#include "inspect/file_comparison.h"
#include "inspect/file_description.h"
#include "inspect/previews.h"
#include "lut/ocio_reader.h"
#include "render/file_lattice.h"
#include "tool/flow_context.h"
#include "tool/run_report.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kExitWithin = 0;
constexpr int kExitFailure = 1;
constexpr int kExitBeyond = 2;

LutFiles RunLuts(const RunEnvironment& environment, FileAccess& files) {
    return LutFiles{files, environment.LutFolders(), environment.AlwaysUpsample()};
}

// A look compared by its stored LUT says so on standard error.
void SayFallback(const CVxString& path, const std::vector<std::string>& reasons) {
    if (reasons.empty())
        return;
    std::string joined;
    for (const std::string& reason : reasons)
        joined += (joined.empty() ? "" : "; ") + reason;
    std::fprintf(stderr, "gradeshift: %s: from its stored LUT: %s\n", PathForPeople(path).c_str(),
                 joined.c_str());
}

// A report's row of a file that the run looks at without writing anything: its
// name and a picture of its transform.
ReportRow InspectedRow(const RunEnvironment& environment, FileAccess& files,
                       const CVxString& path) {
    ReportRow row;
    row.name = PathForPeople(path);
    row.outcome = EReportOutcome::eUnchanged;
    const FileLattice lattice =
        LatticeOfFile(RenderEnvironment{environment.Shaders(), RunLuts(environment, files)}, path,
                      kReportLatticeSize);
    if (lattice.rgb)
        row.thumbnailPng = ThumbnailPng(lattice.rgb.get(), kReportLatticeSize);
    return row;
}

// The rows of the two files compared, each with its figures against the other.
void AddComparedRows(RunReport& page, const RunEnvironment& environment, FileAccess& files,
                     const CVxString& a, const CVxString& b, const FileComparison& compared) {
    const Comparison& figures = *compared.comparison;
    for (const CVxString* file : {&a, &b}) {
        ReportRow row = InspectedRow(environment, files, *file);
        row.warnings = file == &a ? compared.fallbackA : compared.fallbackB;
        row.comparison =
            ReportComparison{"against " + PathForPeople(file == &a ? b : a),
                             figures.all.codes[kChannelsAll].max, figures.all.deltaE.max};
        page.Add(std::move(row));
    }
}

} // namespace

int RunComparison(const RunSetUp& run, const RunEnvironment& environment, FileAccess& files) {
    const RunSettings& settings = run.settings;
    const CVxString& a = run.files[0];
    const CVxString& b = run.files[1];
    ClearOcioCaches();
    const FileComparison compared =
        CompareFiles(RenderEnvironment{environment.Shaders(), RunLuts(environment, files)}, a, b,
                     settings.size, ComparisonTolerance{settings.tolerance, settings.toleranceDe});
    if (!compared.comparison) {
        std::fprintf(stderr, "gradeshift: %s: %s\n", PathForPeople(compared.failedFile).c_str(),
                     compared.failure.c_str());
        return kExitFailure;
    }
    SayFallback(a, compared.fallbackA);
    SayFallback(b, compared.fallbackB);
    RunReport page(settings);
    // A row's thumbnail reads its file once more: only for a report asked for.
    if (!settings.reportFile.IsEmpty())
        AddComparedRows(page, environment, files, a, b, compared);
    const ComparisonNames names{PathForPeople(a), PathForPeople(b), settings.size};
    if (settings.json) {
        JsonWriter json;
        WriteComparisonJson(json, *compared.comparison, names);
        std::printf("%s\n", json.Text().c_str());
    } else {
        std::fputs(FormatComparisonText(*compared.comparison, names).c_str(), stdout);
    }
    if (!page.WriteIfAsked(settings, files))
        return kExitFailure;
    return compared.comparison->withinTolerance ? kExitWithin : kExitBeyond;
}

int RunDescriptions(const RunSetUp& run, const RunEnvironment& environment, FileAccess& files) {
    const RunSettings& settings = run.settings;
    const LutFiles luts = RunLuts(environment, files);
    ClearOcioCaches();
    bool anyUnreadable = false;
    RunReport page(settings);
    for (size_t index = 0; index < run.files.size(); ++index) {
        const CVxString& path = run.files[index];
        const FileDescription described =
            DescribeFile(environment.Shaders(), luts, path, PathForPeople(path));
        anyUnreadable = anyUnreadable || !described.error.empty();
        if (!settings.reportFile.IsEmpty()) {
            ReportRow row = InspectedRow(environment, files, path);
            row.outcome =
                described.error.empty() ? EReportOutcome::eUnchanged : EReportOutcome::eFailed;
            row.cause = described.error;
            page.Add(std::move(row));
        }
        if (settings.json) {
            JsonWriter json;
            WriteDescriptionJson(json, described);
            std::printf("%s\n", json.Text().c_str());
        } else {
            std::printf("%s%s", index > 0 ? "\n" : "", FormatDescriptionText(described).c_str());
        }
        std::fflush(stdout);
        if (!described.error.empty() && (settings.strict || settings.verbose))
            std::fprintf(stderr, "gradeshift: %s: %s\n", described.path.c_str(),
                         described.error.c_str());
    }
    const bool reported = page.WriteIfAsked(settings, files);
    return (settings.strict && anyUnreadable) || !reported ? kExitBeyond : kExitWithin;
}
