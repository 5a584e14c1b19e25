#pragma once

#include "inspect/html_report.h"
#include <cstddef>
#include <cstdio>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What became of an input file. A file converted from a look's stored LUT,
// because the look did not render, is counted apart from one rendered.
// A refused file is one the run declined to write (its output is another
// file's, the format cannot hold it); a failed one went wrong.
enum class EFileOutcome : uint8_t { eConverted, eFromStoredLut, eUnchanged, eFailed, eRefused };

// The block of messages of one input file. Blocks are kept rather than printed
// as they are made, so that whoever runs the files decides when each appears.
class FileReport {
public:
    void Say(std::string_view text) { m_text += text; }
    void Sayf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The run warns once about resampling, in the block of the first file that
    // resamples; this marks the place in this block where the warning would go.
    void MarkResampling();

    // Why the file failed or was refused, in a few words for standard error.
    // The first cause stands: what fails after it follows from it.
    void SetCause(std::string cause) {
        if (m_cause.empty())
            m_cause = std::move(cause);
    }
    // The run declines to convert the file, for this cause.
    void Refuse(std::string cause) {
        SetCause(std::move(cause));
        m_refused = true;
    }
    // The file that the conversion wrote, and what that was ("new look").
    void SetWritten(std::string output, std::string what) {
        m_written = std::move(output);
        m_writtenWhat = std::move(what);
    }
    // Why nothing was written to a file that is left as it is.
    void SetUnchanged(std::string why) { m_unchanged = std::move(why); }
    // The look did not render, for these reasons (the LUT files not found or
    // not loaded, the shaders not installed), and its stored LUT is
    // converted instead; a write that follows makes the file one converted
    // from its stored LUT.
    void FallBackToStoredLut(std::vector<std::string> reasons) {
        m_fromStoredLut = true;
        m_warnings = std::move(reasons);
    }

    // Decided by what the flow recorded: converted once something was
    // written, unchanged when the flow said why nothing needed writing,
    // refused when it declined, failed otherwise.
    EFileOutcome Outcome() const {
        if (!m_written.empty())
            return m_fromStoredLut ? EFileOutcome::eFromStoredLut : EFileOutcome::eConverted;
        if (!m_unchanged.empty())
            return EFileOutcome::eUnchanged;
        return m_refused ? EFileOutcome::eRefused : EFileOutcome::eFailed;
    }
    // Failed or refused: what -strict counts, and the summary names.
    bool DidNotConvert() const {
        const EFileOutcome outcome = Outcome();
        return outcome == EFileOutcome::eFailed || outcome == EFileOutcome::eRefused;
    }

    const std::string& Text() const { return m_text; }
    std::optional<size_t> ResamplingMark() const { return m_resamplingMark; }
    const std::string& Cause() const { return m_cause; }
    const std::string& Written() const { return m_written; }
    const std::string& WrittenWhat() const { return m_writtenWhat; }
    const std::string& Unchanged() const { return m_unchanged; }
    const std::vector<std::string>& Warnings() const { return m_warnings; }

    // For -report: a picture of the file's transform (a PNG file's bytes), and
    // how its output differs from what it was made of.
    void SetThumbnail(std::string png) { m_thumbnail = std::move(png); }
    void SetComparison(ReportComparison comparison) { m_comparison = std::move(comparison); }
    const std::string& Thumbnail() const { return m_thumbnail; }
    const std::optional<ReportComparison>& Comparison() const { return m_comparison; }

private:
    std::string m_text;
    std::optional<size_t> m_resamplingMark;
    std::string m_cause;
    std::string m_written;
    std::string m_writtenWhat;
    std::string m_unchanged;
    std::vector<std::string> m_warnings;
    bool m_fromStoredLut = false;
    bool m_refused = false;
    std::string m_thumbnail;
    std::optional<ReportComparison> m_comparison;
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
