#include "foundation/posix_file.h"

#include "platform/file_system.h"

#include <string_view>

bool CVxPosixFile::Open(const CVxString& path, const char* mode) {
    Close();
    CVxString filePath(path);
    filePath.SlashesToBackslashes();
    m_stream = platform::OpenStream(filePath.View(), mode);
    return m_stream != nullptr;
}

void CVxPosixFile::Close() {
    if (!m_stream)
        return;
    std::fclose(m_stream);
    m_stream = nullptr;
}

size_t CVxPosixFile::Read(void* buffer, size_t count) {
    if (!m_stream || count == 0)
        return 0;
    return std::fread(buffer, 1, count, m_stream);
}

size_t CVxPosixFile::Write(const void* buffer, size_t count) {
    if (!m_stream || count == 0)
        return 0;
    return std::fwrite(buffer, 1, count, m_stream);
}

bool CVxPosixFile::Seek(int64_t offset, int origin) {
    return m_stream && std::fseek(m_stream, static_cast<long>(offset), origin) == 0;
}

int64_t CVxPosixFile::Tell() {
    if (!m_stream)
        return -1;
    return static_cast<int64_t>(std::ftell(m_stream));
}

int64_t CVxPosixFile::Size() {
    if (!m_stream)
        return -1;
    int64_t position = Tell();
    if (position < 0 || !Seek(0, SEEK_END))
        return -1;
    int64_t size = Tell();
    Seek(position, SEEK_SET);
    return size;
}
