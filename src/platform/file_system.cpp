#include "platform/file_system.h"

#include "platform/path_mapping.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Temporary files of the replacements under way, in a table of fixed size that a
// signal handler can walk without taking a lock or allocating.
constexpr int kPendingSlots = 16;
enum : int { kSlotFree, kSlotFilling, kSlotHeld };
struct PendingTemporary {
    std::atomic<int> state;
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slot states");
PendingTemporary g_pending[kPendingSlots];

int HoldPending(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return -1;
    for (int slot = 0; slot < kPendingSlots; ++slot) {
        int expected = kSlotFree;
        if (!g_pending[slot].state.compare_exchange_strong(expected, kSlotFilling))
            continue;
        std::memcpy(g_pending[slot].path, path.c_str(), path.size() + 1);
        g_pending[slot].state.store(kSlotHeld);
        return slot;
    }
    return -1;
}

void ReleasePending(int& slot) {
    if (slot >= 0)
        g_pending[slot].state.store(kSlotFree);
    slot = -1;
}

bool IsWritingMode(const char* mode) {
    return mode[0] == 'w' || mode[0] == 'a';
}

// The open flags of an fopen mode; -1 for a mode that fopen refuses.
int OpenFlags(const char* mode) {
    const int access = std::strchr(mode, '+') ? O_RDWR : (mode[0] == 'r' ? O_RDONLY : O_WRONLY);
    switch (mode[0]) {
    case 'r':
        return access;
    case 'w':
        return access | O_CREAT | O_TRUNC;
    case 'a':
        return access | O_CREAT | O_APPEND;
    }
    return -1;
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

// A name beside the target that no other writer of this process or another one
// uses, held in the pending table before the file exists so that no moment goes
// by in which an interruption would leave the file behind (a name that turns out
// to be taken can only be the leftover of an earlier process with this number).
// Fails when the table is full.
int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string& temporaryPath,
                          int& pendingSlot) {
    static std::atomic<unsigned> counter{0};
    constexpr size_t kLongestLeafKept = 200; // the name must stay within the folder's limit
    std::string folder = FolderOfPosixPath(target);
    std::string leaf = target.substr(folder.size(), kLongestLeafKept);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = folder + "." + leaf + "." + std::to_string(::getpid()) + "." +
                        std::to_string(counter++) + ".tmp";
        pendingSlot = HoldPending(temporaryPath);
        if (pendingSlot < 0)
            return -1;
        int descriptor =
            ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (descriptor >= 0)
            return descriptor;
        ReleasePending(pendingSlot);
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// Gives the new file the old one's owner and group; false when the process may not.
bool TakeOwnership(int descriptor, const struct stat& old) {
    struct stat fresh;
    if (::fstat(descriptor, &fresh) != 0)
        return false;
    if (fresh.st_uid == old.st_uid && fresh.st_gid == old.st_gid)
        return true;
    return ::fchown(descriptor, old.st_uid, old.st_gid) == 0;
}

// Best effort: the rename is done, and a folder that cannot be synced does not undo it.
void SyncFolder(const std::string& target) {
    const std::string folder = FolderOfPosixPath(target);
    int descriptor =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

void RemovePendingAndReraise(int signalNumber) {
    RemovePendingReplacements();
    // The handler was reset to the default action on entry; the signal stays
    // blocked until the handler returns and then ends the process.
    ::raise(signalNumber);
}

} // namespace

FILE* OpenStream(std::string_view path, const char* mode) {
    const int flags = mode ? OpenFlags(mode) : -1;
    if (flags < 0)
        return nullptr;
    std::string posixPath;
    if (!ResolvePath(path, posixPath, IsWritingMode(mode)))
        return nullptr;
    std::string posixMode;
    for (const char* c = mode; *c; ++c)
        if (*c != 't')
            posixMode += *c;
    // Not blocking on the open keeps a FIFO from stalling the run; only plain files are taken.
    int descriptor = ::open(posixPath.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return nullptr;
    struct stat info;
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(descriptor, F_SETFL, flags & O_APPEND) != 0) {
        ::close(descriptor);
        return nullptr;
    }
    FILE* stream = ::fdopen(descriptor, posixMode.c_str());
    if (!stream)
        ::close(descriptor);
    return stream;
}

bool IsFolder(std::string_view path) {
    std::string posixPath;
    struct stat info;
    return ResolvePath(path, posixPath) && ::stat(posixPath.c_str(), &info) == 0 &&
           S_ISDIR(info.st_mode);
}

bool FileReplacement::Begin(std::string_view path) {
    Abandon();
    m_failed = true;
    if (!ResolveWriteTarget(path, m_target))
        return false;
    struct stat existing;
    m_targetExists = ::stat(m_target.c_str(), &existing) == 0;
    if (!m_targetExists && errno != ENOENT)
        return false;
    if (m_targetExists && (!S_ISREG(existing.st_mode) ||
                           ::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0))
        return false;
    m_targetMode = m_targetExists ? existing.st_mode & 07777 : 0;
    // Until it is complete, the new file of an existing one is for its writer's eyes only.
    m_descriptor =
        CreateTemporaryBeside(m_target, m_targetExists ? 0600 : 0666, m_temporary, m_pendingSlot);
    if (m_descriptor < 0) {
        m_temporary.clear();
        return false;
    }
    if (m_targetExists && !TakeOwnership(m_descriptor, existing)) {
        Abandon();
        return false;
    }
    m_failed = false;
    return true;
}

bool FileReplacement::Write(const void* data, size_t size) {
    if (!m_failed && !WriteAll(m_descriptor, data, size))
        m_failed = true;
    m_written += size;
    if (!m_failed && m_written - m_flushStart >= kWritebackStep)
        StartWriteback();
    return !m_failed;
}

// A large file handed to the disk only at the final sync makes the run wait for
// all of it there; starting the write-back of what is written while the rest is
// still being produced leaves the sync only the tail to wait for. Advisory: a
// system without it simply syncs everything at the end.
void FileReplacement::StartWriteback() {
#ifdef SYNC_FILE_RANGE_WRITE
    ::sync_file_range(m_descriptor, off_t(m_flushStart), off_t(m_written - m_flushStart),
                      SYNC_FILE_RANGE_WRITE);
#endif
    m_flushStart = m_written;
}

bool FileReplacement::Commit() {
    if (m_descriptor < 0)
        return false;
    // The bits are set last: a write by anyone but the superuser clears set-id bits.
    bool written = !m_failed && (!m_targetExists || ::fchmod(m_descriptor, m_targetMode) == 0) &&
                   ::fsync(m_descriptor) == 0;
    written = (::close(m_descriptor) == 0) && written;
    m_descriptor = -1;
    if (!written || ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        Abandon();
        return false;
    }
    ReleasePending(m_pendingSlot);
    m_temporary.clear();
    SyncFolder(m_target);
    return true;
}

void FileReplacement::Abandon() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    ReleasePending(m_pendingSlot);
    m_temporary.clear();
}

void RemovePendingReplacements() {
    for (PendingTemporary& pending : g_pending)
        if (pending.state.load() == kSlotHeld)
            ::unlink(pending.path);
}

void InstallReplacementSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = RemovePendingAndReraise;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kInterruptions)
        sigaddset(&action.sa_mask, signalNumber);
    for (int signalNumber : kInterruptions) {
        struct sigaction previous {};
        if (::sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(signalNumber, &action, nullptr);
    }
    ::signal(SIGXFSZ, SIG_IGN);
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
