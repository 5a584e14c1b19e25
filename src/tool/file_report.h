#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// The block of messages of one input file. Blocks are kept rather than printed
// as they are made, so that whoever runs the files decides when each appears.
class FileReport {
public:
    void Say(std::string_view text) { m_text += text; }
    void Sayf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The run warns once about resampling, in the block of the first file that
    // resamples; this marks the place in this block where the warning would go.
    void MarkResampling();

    const std::string& Text() const { return m_text; }
    std::optional<size_t> ResamplingMark() const { return m_resamplingMark; }

private:
    std::string m_text;
    std::optional<size_t> m_resamplingMark;
};

// Writes blocks to a stream in the order given, with the run's one resampling
// warning in the first block that asks for it, and flushes after each block so
// that a log follows the run.
class ReportPrinter {
public:
    explicit ReportPrinter(std::FILE* stream) : m_stream(stream) {}
    void Print(const FileReport& report);

private:
    std::FILE* m_stream;
    bool m_warnedAboutResampling = false;
};
