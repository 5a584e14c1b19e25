#include "tool/file_report.h"

#include <cstdarg>

namespace {

constexpr std::string_view kResamplingWarning =
    "  Warning: resampling the original LUT to a different size\n"
    "  can severely reduce the quality of the resulting Cubrel LUT.\n";

} // namespace

void FileReport::Sayf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measuring;
    va_copy(measuring, args);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length > 0) {
        const size_t start = m_text.size();
        m_text.resize(start + static_cast<size_t>(length) + 1);
        std::vsnprintf(m_text.data() + start, static_cast<size_t>(length) + 1, format, args);
        m_text.resize(start + static_cast<size_t>(length));
    }
    va_end(args);
}

void FileReport::MarkResampling() {
    if (!m_resamplingMark)
        m_resamplingMark = m_text.size();
}

void ReportPrinter::Print(const FileReport& report) {
    const std::string_view text = report.Text();
    size_t split = text.size();
    const bool warnHere = report.ResamplingMark() && !m_warnedAboutResampling;
    if (warnHere)
        split = *report.ResamplingMark();
    std::fwrite(text.data(), 1, split, m_stream);
    if (warnHere) {
        m_warnedAboutResampling = true;
        std::fwrite(kResamplingWarning.data(), 1, kResamplingWarning.size(), m_stream);
        std::fwrite(text.data() + split, 1, text.size() - split, m_stream);
    }
    std::fflush(m_stream);
}
