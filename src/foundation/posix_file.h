#pragma once

#include "foundation/vx_string.h"

#include <cstdint>
#include <cstdio>

// A standard I/O stream opened through the platform's path translation.
class CVxPosixFile {
public:
    CVxPosixFile() = default;
    CVxPosixFile(const CVxPosixFile&) = delete;
    CVxPosixFile& operator=(const CVxPosixFile&) = delete;
    virtual ~CVxPosixFile() { Close(); }

    // Closes a stream still open, then opens the file with an fopen mode.
    bool Open(const CVxString& path, const char* mode);
    void Close();
    bool IsOpen() const { return m_stream != nullptr; }

    // Reads up to count bytes; returns the number read.
    size_t Read(void* buffer, size_t count);
    size_t Write(const void* buffer, size_t count);
    bool Seek(int64_t offset, int origin = SEEK_SET);
    int64_t Tell();
    // Length of the open file, -1 on failure.
    int64_t Size();

    FILE* Stream() const { return m_stream; }

private:
    FILE* m_stream = nullptr;
};
