#include "platform/file_system.h"

#include "platform/path_mapping.h"
#include "platform/posix_helpers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// An error that says the system could not tell whether something is there,
// rather than that nothing is.
bool CouldNotTell(int error) {
    return error != ENOENT && error != ENOTDIR;
}

// Why a path that does not resolve names nothing: a folder on the way is
// missing (ENOENT), or may not be searched, as the path as written says.
FileStatus UnresolvedStatus(std::string_view path) {
    std::string written;
    struct stat info;
    if (ToPosixPath(path, written) && ::stat(written.c_str(), &info) != 0 && CouldNotTell(errno))
        return FileStatus::SystemError(errno);
    return FileStatus::SystemError(ENOENT);
}

// Why a path that is not a plain file is not read.
FileStatus NotPlainFile(const struct stat& info) {
    return S_ISDIR(info.st_mode) ? FileStatus::SystemError(EISDIR)
                                 : FileStatus::Refusal("not a plain file");
}

// A plain file opened for reading, closed when it goes.
class ReadDescriptor {
public:
    ReadDescriptor() = default;
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;
    ~ReadDescriptor() {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }

    FileStatus Open(std::string_view path) {
        std::string posixPath;
        if (!ResolvePath(path, posixPath))
            return UnresolvedStatus(path);
        // Not blocking on the open keeps a FIFO from stalling the run.
        m_descriptor = ::open(posixPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_descriptor < 0) {
            const int error = errno;
            // What may not be opened is still told by its kind first, as Examine tells it.
            if (::stat(posixPath.c_str(), &m_info) == 0 && !S_ISREG(m_info.st_mode))
                return NotPlainFile(m_info);
            return FileStatus::SystemError(error);
        }
        if (::fstat(m_descriptor, &m_info) != 0)
            return FileStatus::SystemError(errno);
        return S_ISREG(m_info.st_mode) ? FileStatus() : NotPlainFile(m_info);
    }

    uint64_t Size() const { return static_cast<uint64_t>(m_info.st_size); }

    // Reads until `size` bytes are in or the file ends.
    FileStatus Read(char* buffer, size_t size, size_t& read) {
        read = 0;
        while (read < size) {
            const ssize_t count = ::read(m_descriptor, buffer + read, size - read);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                return FileStatus::SystemError(errno);
            if (count == 0)
                break;
            read += static_cast<size_t>(count);
        }
        return FileStatus();
    }

private:
    int m_descriptor = -1;
    struct stat m_info {};
};

} // namespace

EntryState ExamineEntry(std::string_view path) {
    EntryState state;
    std::string posixPath;
    struct stat info;
    if (!ResolvePath(path, posixPath, true)) {
        // A folder on the way is missing, or may not be searched: the path as written says which.
        std::string written;
        if (ToPosixPath(path, written) && ::stat(written.c_str(), &info) != 0 &&
            CouldNotTell(errno)) {
            state.kind = EEntryKind::eOther;
            state.error = errno;
        }
        return state;
    }
    if (::stat(posixPath.c_str(), &info) != 0) {
        if (CouldNotTell(errno)) {
            state.kind = EEntryKind::eOther;
            state.error = errno;
        }
        return state;
    }
    state.kind = S_ISREG(info.st_mode)   ? EEntryKind::eFile
                 : S_ISDIR(info.st_mode) ? EEntryKind::eFolder
                                         : EEntryKind::eOther;
    state.stamp = StampOf(info);
    return state;
}

FileStatus ReadFileHead(std::string_view path, void* buffer, size_t size) {
    ReadDescriptor file;
    if (FileStatus opened = file.Open(path); !opened)
        return opened;
    size_t read = 0;
    if (FileStatus status = file.Read(static_cast<char*>(buffer), size, read); !status)
        return status;
    if (read == size)
        return FileStatus();
    return FileStatus::Refusal(read == 0 ? "empty file"
                                         : "shorter than " + std::to_string(size) + " bytes");
}

FileStatus ReadWholeFile(std::string_view path, uint64_t maxSize, const FileRoom& room,
                         size_t& read) {
    read = 0;
    ReadDescriptor file;
    if (FileStatus opened = file.Open(path); !opened)
        return opened;
    const uint64_t size = file.Size();
    if (size > maxSize || size > SIZE_MAX - 1)
        return FileStatus{EFBIG, "larger than " + std::to_string(maxSize) + " bytes"};
    char* buffer = room(static_cast<size_t>(size));
    if (!buffer)
        return FileStatus::SystemError(ENOMEM);
    if (FileStatus status = file.Read(buffer, static_cast<size_t>(size), read); !status)
        return status;
    // A file cut short while it was read is not read whole.
    return read == size ? FileStatus() : FileStatus::Refusal("cannot be read");
}

FileStatus FolderWriteStatus(std::string_view path) {
    std::string posixPath;
    if (!ResolvePath(path, posixPath))
        return FileStatus::SystemError(ENOENT);
    struct stat info;
    if (::stat(posixPath.c_str(), &info) != 0)
        return FileStatus::SystemError(errno);
    if (!S_ISDIR(info.st_mode))
        return FileStatus::SystemError(ENOTDIR);
    return ::access(posixPath.c_str(), W_OK | X_OK) == 0 ? FileStatus()
                                                         : FileStatus::SystemError(errno);
}

FileStatus AppendToFile(std::string_view path, const void* data, size_t size) {
    std::string posixPath;
    if (!ResolvePath(path, posixPath, true))
        return UnresolvedStatus(path);
    const int descriptor =
        ::open(posixPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return FileStatus::SystemError(errno);
    FileStatus status =
        WriteAll(descriptor, data, size) ? FileStatus() : FileStatus::SystemError(errno);
    if (::close(descriptor) != 0 && status)
        status = FileStatus::SystemError(errno);
    return status;
}

FileStatus CanonicalPath(std::string_view path, std::string& canonical) {
    std::string posixPath;
    if (!ResolvePath(path, posixPath))
        return UnresolvedStatus(path);
    char resolved[PATH_MAX];
    if (!::realpath(posixPath.c_str(), resolved))
        return FileStatus::SystemError(errno);
    canonical = resolved;
    return FileStatus();
}

} // namespace platform
