#include "tool/run_progress.h"

namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

EFileOutcome ClassifyBlock(std::string_view text) {
    // Every format's success line ends so, and no other line does.
    if (EndsWith(text, " written successfully\n") || EndsWith(text, "  LUT updated successfully\n"))
        return EFileOutcome::eConverted;
    if (text.find("  LUT size is already ") != std::string_view::npos ||
        text.find("  File seems to be a Cubrel LUT") != std::string_view::npos)
        return EFileOutcome::eUnchanged;
    return EFileOutcome::eFailed;
}

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

void RunProgress::Count(const FileReport& report) {
    ++m_counts[size_t(ClassifyBlock(report.Text()))];
}

void RunProgress::PrintSummary() {
    Erase();
    std::fprintf(m_stream, "%zu converted, %zu unchanged, %zu failed\n",
                 m_counts[size_t(EFileOutcome::eConverted)],
                 m_counts[size_t(EFileOutcome::eUnchanged)],
                 m_counts[size_t(EFileOutcome::eFailed)]);
    std::fflush(m_stream);
}
