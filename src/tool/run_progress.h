#pragma once

#include "foundation/vx_string.h"
#include "tool/file_report.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The progress line (file count and current file, redrawn in place) and the
// closing summary, for people watching a terminal.
class RunProgress {
public:
    RunProgress(std::FILE* stream, bool showLine, size_t fileCount)
        : m_stream(stream), m_showLine(showLine), m_fileCount(fileCount) {}

    // Shows the file that the run waits for next (index from 0).
    void Show(size_t index, const CVxString& name);
    // Erases the line, so that other output starts at the beginning of it.
    void Erase();
    // Counts the file, and names it in the summary when it failed.
    EFileOutcome Count(const FileReport& report, const std::string& path);
    void PrintSummary();
    bool AnyFailed() const { return FailedCount() > 0; }

private:
    std::FILE* m_stream;
    bool m_showLine;
    bool m_lineShown = false;
    size_t m_fileCount;
    // Refused files count as failed ones in the summary.
    size_t FailedCount() const {
        return m_counts[size_t(EFileOutcome::eFailed)] + m_counts[size_t(EFileOutcome::eRefused)];
    }

    size_t m_counts[5] = {};
    std::vector<std::string> m_failedNames;
};
