#include "platform/file_system.h"

#include "platform/path_mapping.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool IsWritingMode(const char* mode) {
    return mode[0] == 'w' || mode[0] == 'a';
}

bool WriteAll(int descriptor, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string FolderOfPosixPath(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash + 1);
}

// A name beside the target that no other writer of this process or another one uses.
int CreateTemporaryBeside(const std::string& target, std::string& temporaryPath) {
    static std::atomic<unsigned> counter{0};
    std::string folder = FolderOfPosixPath(target);
    std::string leaf = target.substr(folder.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = folder + "." + leaf + "." + std::to_string(::getpid()) + "." +
                        std::to_string(counter++) + ".tmp";
        int descriptor =
            ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

} // namespace

FILE* OpenStream(std::string_view path, const char* mode) {
    if (!mode || !*mode)
        return nullptr;
    std::string posixPath;
    if (!ResolvePath(path, posixPath, IsWritingMode(mode)))
        return nullptr;
    std::string posixMode;
    for (const char* c = mode; *c; ++c)
        if (*c != 't')
            posixMode += *c;
    FILE* stream = std::fopen(posixPath.c_str(), posixMode.c_str());
    if (!stream)
        return nullptr;
    struct stat info;
    if (::fstat(::fileno(stream), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

bool IsFolder(std::string_view path) {
    std::string posixPath;
    struct stat info;
    return ResolvePath(path, posixPath) && ::stat(posixPath.c_str(), &info) == 0 &&
           S_ISDIR(info.st_mode);
}

bool ReplaceFile(std::string_view path, const void* data, size_t size) {
    FileReplacement replacement;
    return replacement.Begin(path) && replacement.Write(data, size) && replacement.Commit();
}

bool FileReplacement::Begin(std::string_view path) {
    Abandon();
    m_failed = true;
    if (!ResolvePath(path, m_target, true))
        return false;
    struct stat existing;
    m_targetExists = ::stat(m_target.c_str(), &existing) == 0;
    if (m_targetExists && !S_ISREG(existing.st_mode))
        return false;
    m_targetMode = m_targetExists ? existing.st_mode & 07777 : 0;
    m_descriptor = CreateTemporaryBeside(m_target, m_temporary);
    m_failed = m_descriptor < 0;
    return !m_failed;
}

bool FileReplacement::Write(const void* data, size_t size) {
    if (!m_failed && !WriteAll(m_descriptor, data, size))
        m_failed = true;
    return !m_failed;
}

bool FileReplacement::Commit() {
    if (m_descriptor < 0)
        return false;
    bool written = !m_failed && ::fsync(m_descriptor) == 0;
    if (written && m_targetExists)
        written = ::fchmod(m_descriptor, m_targetMode) == 0;
    written = (::close(m_descriptor) == 0) && written;
    m_descriptor = -1;
    if (written && ::rename(m_temporary.c_str(), m_target.c_str()) == 0) {
        m_temporary.clear();
        return true;
    }
    Abandon();
    return false;
}

void FileReplacement::Abandon() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

bool AppendToFile(std::string_view path, const void* data, size_t size) {
    std::string posixPath;
    if (!ResolvePath(path, posixPath, true))
        return false;
    int descriptor = ::open(posixPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return false;
    bool written = WriteAll(descriptor, data, size);
    return (::close(descriptor) == 0) && written;
}

} // namespace platform
