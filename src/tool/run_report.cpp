#include "tool/run_report.h"

#include "foundation/paths.h"

#include <cstdio>
#include <string>

namespace {

// What the run did, for the page's heading.
std::string ModeText(const RunSettings& settings) {
    const std::string size = std::to_string(settings.size);
    if (settings.inspection == EInspection::eCompare)
        return "comparison at " + size + " points per axis";
    if (settings.inspection == EInspection::eInfo)
        return "description of each file";
    if (settings.preview)
        return "previews through lattices of " + size + " points";
    if (settings.exportFormat)
        return std::string("conversion to ") + settings.exportFormat->writtenAs + "s of " + size +
               " points";
    if (settings.cubrelMode)
        return "conversion to Cubrel LUTs of " + size + " points";
    return "rebuild of looks at " + size + " points";
}

EReportOutcome RowOutcome(EFileOutcome outcome) {
    switch (outcome) {
    case EFileOutcome::eConverted:
        return EReportOutcome::eConverted;
    case EFileOutcome::eFromStoredLut:
        return EReportOutcome::eFromStoredLut;
    case EFileOutcome::eUnchanged:
        return EReportOutcome::eUnchanged;
    case EFileOutcome::eRefused:
        return EReportOutcome::eRefused;
    case EFileOutcome::eFailed:
        break;
    }
    return EReportOutcome::eFailed;
}

} // namespace

RunReport::RunReport(const RunSettings& settings) {
    m_page.title = "Gradeshift report";
    m_page.mode = ModeText(settings);
}

void RunReport::Add(const CVxString& input, const FileReport& report) {
    ReportRow row;
    row.name = PathForPeople(input);
    row.outcome = RowOutcome(report.Outcome());
    row.warnings = report.Warnings();
    if (report.DidNotConvert())
        row.cause = report.Cause();
    row.output = report.Written();
    row.thumbnailPng = report.Thumbnail();
    row.comparison = report.Comparison();
    m_page.rows.push_back(std::move(row));
}

bool RunReport::WriteIfAsked(const RunSettings& settings, FileAccess& files) const {
    const CVxString& path = settings.reportFile;
    if (path.IsEmpty())
        return true;
    const std::string html = RenderReportHtml(m_page);
    const std::unique_ptr<FileOutput> file = files.Replace(path);
    if (file->Append(html.data(), html.size()) && file->Commit())
        return true;
    const std::string cause = file->FailureText();
    std::fprintf(stderr, "gradeshift: -report %s: cannot write it%s%s\n", path.c_str(),
                 cause.empty() ? "" : ": ", cause.c_str());
    return false;
}
