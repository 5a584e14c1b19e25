#include "inspect/html_report.h"

#include "inspect/text_forms.h"

namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #ccc;padding:.4em .6em;text-align:left;vertical-align:top}"
    "th{background:#eee}"
    ".failed td,.refused td{background:#fdecea}"
    ".cause{color:#a00}"
    ".warning{color:#8a6d00}"
    "img{display:block;max-width:100%}";

constexpr int kOutcomeCount = 5;

bool IsFailure(EReportOutcome outcome) {
    return outcome == EReportOutcome::eFailed || outcome == EReportOutcome::eRefused;
}

// The summary's words for a count of rows of one outcome.
const char* CountedOutcomeText(EReportOutcome outcome) {
    return outcome == EReportOutcome::eFromStoredLut ? "from stored LUTs"
                                                     : ReportOutcomeText(outcome);
}

std::string RowId(size_t index) {
    return "row-" + std::to_string(index + 1);
}

std::string Summary(const ReportPage& page) {
    size_t counts[kOutcomeCount] = {};
    for (const ReportRow& row : page.rows)
        ++counts[static_cast<int>(row.outcome)];
    std::string html = "<p>" + std::to_string(page.rows.size()) +
                       (page.rows.size() == 1 ? " input: " : " inputs: ");
    for (int k = 0; k < kOutcomeCount; ++k)
        html += std::string(k ? ", " : "") + std::to_string(counts[k]) + ' ' +
                CountedOutcomeText(static_cast<EReportOutcome>(k));
    html += ".</p>\n";
    std::string failures;
    for (size_t i = 0; i < page.rows.size(); ++i)
        if (IsFailure(page.rows[i].outcome))
            failures += "<li><a href=\"#" + RowId(i) + "\">" + EscapeHtml(page.rows[i].name) +
                        "</a>: " + ReportOutcomeText(page.rows[i].outcome) + "</li>\n";
    if (!failures.empty())
        html += "<ul class=\"failures\">\n" + failures + "</ul>\n";
    return html;
}

std::string OutcomeCell(const ReportRow& row) {
    std::string html = ReportOutcomeText(row.outcome);
    if (!row.cause.empty())
        html += "<div class=\"cause\">" + EscapeHtml(row.cause) + "</div>";
    for (const std::string& warning : row.warnings)
        html += "<div class=\"warning\">" + EscapeHtml(warning) + "</div>";
    return html;
}

std::string ComparisonCell(const ReportRow& row) {
    if (!row.comparison)
        return {};
    const ReportComparison& c = *row.comparison;
    return EscapeHtml(c.what) + ": largest difference " + FixedDecimal(c.maxCodes, 4) +
           " codes, largest &Delta;E<sub>00</sub> " + FixedDecimal(c.maxDeltaE00, 4);
}

std::string Row(const ReportRow& row, size_t index) {
    std::string html = "<tr id=\"" + RowId(index) + "\"";
    if (IsFailure(row.outcome))
        html += row.outcome == EReportOutcome::eFailed ? " class=\"failed\"" : " class=\"refused\"";
    html += "><td>" + std::to_string(index + 1) + "</td><td>" + EscapeHtml(row.name) + "</td><td>" +
            OutcomeCell(row) + "</td><td>" + EscapeHtml(row.output) + "</td><td>";
    if (!row.thumbnailPng.empty())
        html += "<img src=\"data:image/png;base64," + Base64(row.thumbnailPng) +
                "\" alt=\"the chart before and after\">";
    return html + "</td><td>" + ComparisonCell(row) + "</td></tr>\n";
}

} // namespace

const char* ReportOutcomeText(EReportOutcome outcome) {
    switch (outcome) {
    case EReportOutcome::eConverted:
        return "converted";
    case EReportOutcome::eUnchanged:
        return "unchanged";
    case EReportOutcome::eFromStoredLut:
        return "from its stored LUT";
    case EReportOutcome::eFailed:
        return "failed";
    case EReportOutcome::eRefused:
        return "refused";
    }
    return "";
}

std::string RenderReportHtml(const ReportPage& page) {
    const std::string title = EscapeHtml(page.title);
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"generator\" content=\"Gradeshift\">\n"
                       "<title>" +
                       title + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" +
                       title + "</h1>\n";
    if (!page.mode.empty())
        html += "<p>" + EscapeHtml(page.mode) + "</p>\n";
    html += "<h2>Summary</h2>\n" + Summary(page);
    html += "<table>\n<thead><tr><th>#</th><th>Input</th><th>Outcome</th><th>Output</th>"
            "<th>Before | after</th><th>Comparison</th></tr></thead>\n<tbody>\n";
    for (size_t i = 0; i < page.rows.size(); ++i)
        html += Row(page.rows[i], i);
    return html + "</tbody>\n</table>\n</body>\n</html>\n";
}
