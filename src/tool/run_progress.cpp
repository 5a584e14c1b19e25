#include "tool/run_progress.h"

void RunProgress::Show(size_t index, const CVxString& name) {
    if (!m_showLine)
        return;
    std::fprintf(m_stream, "\r\033[KFile %zu of %zu: %s", index + 1, m_fileCount, name.c_str());
    std::fflush(m_stream);
    m_lineShown = true;
}

void RunProgress::Erase() {
    if (!m_lineShown)
        return;
    std::fputs("\r\033[K", m_stream);
    std::fflush(m_stream);
    m_lineShown = false;
}

namespace {

constexpr size_t kFailedNamesShown = 10;

} // namespace

EFileOutcome RunProgress::Count(const FileReport& report, const std::string& path) {
    const EFileOutcome outcome = report.Outcome();
    ++m_counts[size_t(outcome)];
    if (report.DidNotConvert() && m_failedNames.size() < kFailedNamesShown)
        m_failedNames.push_back(path);
    return outcome;
}

void RunProgress::PrintSummary() {
    Erase();
    std::fprintf(m_stream, "%zu converted, ", m_counts[size_t(EFileOutcome::eConverted)]);
    if (const size_t fromStored = m_counts[size_t(EFileOutcome::eFromStoredLut)])
        std::fprintf(m_stream, "%zu from stored LUTs, ", fromStored);
    std::fprintf(m_stream, "%zu unchanged, %zu failed\n",
                 m_counts[size_t(EFileOutcome::eUnchanged)], FailedCount());
    if (!m_failedNames.empty()) {
        std::fputs("failed:", m_stream);
        for (size_t index = 0; index < m_failedNames.size(); ++index)
            std::fprintf(m_stream, "%s %s", index > 0 ? "," : "", m_failedNames[index].c_str());
        const size_t more = FailedCount() - m_failedNames.size();
        if (more > 0)
            std::fprintf(m_stream, " and %zu more", more);
        std::fputs("\n", m_stream);
    }
    std::fflush(m_stream);
}
