#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"
#include "platform/file_system.h"

#include <cstddef>

// Whole files read into and written from strings. Paths may use slashes.

// Reads a whole file in binary mode; embedded 0 bytes are kept, and a spare 0
// byte follows the last one for readers that scan the bytes as text. False when
// the file cannot be opened or read whole, is larger than maxSize bytes or does
// not fit in memory; bytes is then empty or holds what was read.
bool ReadBinaryFile(const CVxString& path, CVxString& bytes, uint32_t maxSize = 0xFFFFFFFEu);

// A sink that writes the same replacement in pieces: Append as often as needed,
// then Commit. The replacement begins with the first Append, so a writer that
// fails before its first byte leaves nothing behind, not even a temporary
// file. Until Commit the old file stays whole; a sink destroyed without Commit
// leaves nothing behind.
class FileReplacementSink : public FileOutput {
public:
    explicit FileReplacementSink(const CVxString& path,
                                 const platform::TargetCondition& condition = {})
        : m_path(path), m_condition(condition) {}

    bool Append(const void* data, size_t size) override;
    // False when nothing was appended, or the file could not be begun, written or renamed.
    bool Commit() override;
    std::string FailureText() const override { return m_file.FailureText(); }
    bool TargetChanged() const override { return m_file.TargetChanged(); }

private:
    CVxString m_path;
    platform::TargetCondition m_condition;
    platform::FileReplacement m_file;
    bool m_begun = false;
    bool m_open = false;
};
