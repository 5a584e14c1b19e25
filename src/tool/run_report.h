#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"
#include "inspect/html_report.h"
#include "tool/file_report.h"
#include "tool/run_settings.h"

#include <string>

// -report FILE: the page of a run, a row per input in input order, written
// at the end of the run whatever became of the files.
class RunReport {
public:
    explicit RunReport(const RunSettings& settings);

    // The row of a file that a flow converted (or did not).
    void Add(const CVxString& input, const FileReport& report);
    void Add(ReportRow row) { m_page.rows.push_back(std::move(row)); }

    // Replaces the report file as one whole, when the run asks for one; false,
    // having said why on standard error, when it cannot be written.
    bool WriteIfAsked(const RunSettings& settings, FileAccess& files) const;

private:
    ReportPage m_page;
};
