#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What became of one input of a run.
enum class EReportOutcome : uint8_t { eConverted, eUnchanged, eFromStoredLut, eFailed, eRefused };

// The words the report gives an outcome: "converted", "unchanged", "from its
// stored LUT", "failed", "refused".
const char* ReportOutcomeText(EReportOutcome outcome);

// A comparison shown in a row: what was compared (e.g. "input against its
// output read back") and its largest differences.
struct ReportComparison {
    std::string what;
    double maxCodes = 0.0;
    double maxDeltaE00 = 0.0;
};

// One input. Texts are bytes as the run has them (file names may hold any
// bytes); the report escapes them.
struct ReportRow {
    std::string name;
    EReportOutcome outcome = EReportOutcome::eConverted;
    std::vector<std::string> warnings;
    std::string cause;        // why it failed or was refused, or empty
    std::string output;       // the file written, or empty
    std::string thumbnailPng; // a PNG file's bytes (before | after), or empty
    std::optional<ReportComparison> comparison;
};

struct ReportPage {
    std::string title;
    std::string mode; // what the run did, e.g. "convert to .cube"
    std::vector<ReportRow> rows;
};

// One self-contained HTML5 page in UTF-8, marked as Gradeshift's by a
// "generator" meta element: a summary (how many inputs had each
// outcome, with links to the rows that failed or were refused), then a table
// with a row per input in the order given. Pictures are inline data: URIs,
// the style sheet is inline, and there is no script.
std::string RenderReportHtml(const ReportPage& page);
