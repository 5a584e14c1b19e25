#include "foundation/file_contents.h"

#include "foundation/posix_file.h"
#include "platform/file_system.h"

#include <cstring>
#include <new>
#include <string_view>

namespace {

// Reads `length` bytes of an open file into `bytes`, which then holds what was read.
bool ReadOpenFile(CVxPosixFile& file, uint32_t length, CVxString& bytes) {
    char* buffer = bytes.GetBuffer(length);
    const size_t read = file.Read(buffer, length);
    bytes.SetLength(static_cast<uint32_t>(read));
    return read == length;
}

} // namespace

bool ReadBinaryFile(const CVxString& path, CVxString& bytes, uint32_t maxSize) {
    bytes.Empty();
    CVxPosixFile file;
    if (!file.Open(path, "rb"))
        return false;
    const int64_t size = file.Size();
    // The string's buffer holds one byte more than the file, and must stay countable.
    if (size < 0 || size > maxSize || size >= 0xFFFFFFFFll)
        return false;
    try {
        return ReadOpenFile(file, static_cast<uint32_t>(size), bytes);
    } catch (const std::bad_alloc&) {
        return false; // the string is left as it was: empty
    }
}

bool FileReplacementSink::Append(const void* data, size_t size) {
    if (!m_begun) {
        m_begun = true;
        CVxString filePath(m_path);
        filePath.SlashesToBackslashes();
        m_open = m_file.Begin(filePath.View(), m_condition);
    }
    return m_open && m_file.Write(data, size);
}

bool FileReplacementSink::Commit() {
    return m_open && m_file.Commit();
}
