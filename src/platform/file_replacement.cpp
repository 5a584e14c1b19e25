#include "platform/file_replacement.h"

#include "platform/path_mapping.h"
#include "platform/posix_helpers.h"
#include "platform/replacement_test_hooks.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

ReplacementTestHooks g_replacementTestHooks;

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
// Zero from the start, so that no initialiser touches its pages at start-up.
constinit PendingTemporary g_pending[kPendingSlots]{};

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

// Temporary files carry the program's name, so that a sweep of leftovers can
// never take a file that another program (or a person) named alike.
constexpr std::string_view kProgramTag = ".gradeshift-";
constexpr std::string_view kTemporaryEnding = ".tmp";

// The name of a temporary file beside `leaf`. Also the test of whether a name is
// one of ours: a leftover of an earlier run is recognised by making its name anew.
std::string TemporaryName(std::string_view leaf, pid_t maker, unsigned number) {
    constexpr size_t kLongestLeafKept = 200; // the name must stay within the folder's limit
    return "." + std::string(leaf.substr(0, kLongestLeafKept)) + std::string(kProgramTag) +
           std::to_string(maker) + "-" + std::to_string(number) + std::string(kTemporaryEnding);
}

template <typename Number> bool ReadNumber(std::string_view text, Number& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

// The process that made the temporary file of this name; 0 when the name is not
// one that TemporaryName makes.
pid_t MakerOfTemporary(std::string_view name) {
    if (name.size() < 2 + kTemporaryEnding.size() || !name.starts_with('.') ||
        !name.ends_with(kTemporaryEnding))
        return 0;
    const std::string_view body = name.substr(1, name.size() - 1 - kTemporaryEnding.size());
    const size_t tag = body.rfind(kProgramTag);
    if (tag == std::string_view::npos || tag == 0)
        return 0;
    const std::string_view numbers = body.substr(tag + kProgramTag.size());
    const size_t dash = numbers.find('-');
    if (dash == std::string_view::npos)
        return 0;
    pid_t maker = 0;
    unsigned number = 0;
    if (!ReadNumber(numbers.substr(0, dash), maker) ||
        !ReadNumber(numbers.substr(dash + 1), number) || maker <= 0)
        return 0;
    return TemporaryName(body.substr(0, tag), maker, number) == name ? maker : 0;
}

std::atomic<unsigned> g_temporaryCounter{0};

// Gives a new file a name beside the target that no other writer of this process
// or another one uses: `create(path)` makes the file under a name, failing with
// EEXIST when it is taken (by the leftover of an earlier process with this
// number). The name is held in the pending table before the file has it, so that
// no moment goes by in which an interruption would leave the file behind. False
// when the table is full or the file cannot be made.
template <typename Create>
bool NameBeside(const std::string& target, std::string& temporaryPath, int& pendingSlot,
                Create create) {
    const std::string folder = FolderOfPosixPath(target);
    const std::string_view leaf = std::string_view(target).substr(folder.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = folder + TemporaryName(leaf, ::getpid(), g_temporaryCounter++);
        pendingSlot = HoldPending(temporaryPath);
        if (pendingSlot < 0)
            break;
        if (create(temporaryPath.c_str()))
            return true;
        const int error = errno;
        ReleasePending(pendingSlot);
        if (error != EEXIST)
            break;
    }
    temporaryPath.clear();
    return false;
}

// A new file that has a name from the start: -1 when it cannot be made.
int CreateNamedTemporary(const std::string& target, mode_t mode, std::string& temporaryPath,
                         int& pendingSlot) {
    int descriptor = -1;
    NameBeside(target, temporaryPath, pendingSlot, [&](const char* path) {
        descriptor = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        return descriptor >= 0;
    });
    return descriptor;
}

// Unnamed files are given their name through /proc/self/fd, which an ordinary
// user may do (linkat with AT_EMPTY_PATH asks for a privilege on older kernels).
bool CanNameUnnamedFiles() {
    static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
    return procMounted && !g_replacementTestHooks.namedTemporaryOnly;
}

// A new file in the folder that has no name, so that a process killed before
// Commit leaves nothing behind. -1 with `unavailable` set where the kernel or
// the file system has no such files.
int OpenUnnamedFile(const std::string& folder, mode_t mode, bool& unavailable) {
    unavailable = true;
#ifdef O_TMPFILE
    if (!CanNameUnnamedFiles())
        return -1;
    const int descriptor =
        ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    // A kernel that predates these files takes the flags for opening the folder itself.
    unavailable = descriptor < 0 && (errno == EOPNOTSUPP || errno == EISDIR);
    return descriptor;
#else
    (void)folder;
    (void)mode;
    return -1;
#endif
}

// Gives a whole unnamed file a name, which must be free.
bool LinkUnnamedFile(int descriptor, const char* path) {
    const std::string handle = "/proc/self/fd/" + std::to_string(descriptor);
    return ::linkat(AT_FDCWD, handle.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0;
}

// Links a whole unnamed file to a temporary name beside the target.
bool NameUnnamedFile(int descriptor, const std::string& target, std::string& temporaryPath,
                     int& pendingSlot) {
    return NameBeside(target, temporaryPath, pendingSlot,
                      [&](const char* path) { return LinkUnnamedFile(descriptor, path); });
}

// A rename that takes flags (RENAME_NOREPLACE, RENAME_EXCHANGE): -1 with EINVAL
// where the system or the file system has none.
int RenameWithFlags(const std::string& from, const std::string& to, unsigned flags) {
#ifdef RENAME_NOREPLACE
    if (!g_replacementTestHooks.withoutRenameFlags)
        return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags);
#else
    (void)from;
    (void)to;
    (void)flags;
#endif
    errno = EINVAL;
    return -1;
}

bool RenameFlagsUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// True the first time a replacement in this folder asks during the run; files
// are replaced on several threads at once.
bool FirstReplacementIn(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> folders;
    std::lock_guard lock(mutex);
    return folders.insert(folder).second;
}

// Removes what runs of this program left in a folder when they were killed:
// files of its temporary naming, owned by this user, whose maker no longer runs
// on this machine (EPERM means it runs under another user). Every writer holds
// its new file locked, so a file that a process holds, on this machine or on
// another one sharing the folder where locks are shared, is kept.
void RemoveLeftoverTemporaries(const std::string& folder) {
    DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing)
        return;
    const int folderDescriptor = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        const pid_t maker = MakerOfTemporary(entry->d_name);
        if (maker == 0 || ::kill(maker, 0) == 0 || errno != ESRCH)
            continue;
        const int descriptor = ::openat(folderDescriptor, entry->d_name,
                                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (descriptor < 0)
            continue;
        struct stat info;
        if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid() && ::flock(descriptor, LOCK_SH | LOCK_NB) == 0)
            ::unlinkat(folderDescriptor, entry->d_name, 0);
        ::close(descriptor);
    }
    ::closedir(listing);
}

// The new file of a replacement, unnamed where the system allows it; a named
// one has its path in `temporaryPath`. Held locked while it is written (see
// RemoveLeftoverTemporaries). -1 when no file can be made.
int CreateNewFile(const std::string& target, mode_t mode, std::string& temporaryPath,
                  int& pendingSlot) {
    bool unavailable = false;
    int descriptor = OpenUnnamedFile(FolderOfPosixPath(target), mode, unavailable);
    if (descriptor < 0 && unavailable)
        descriptor = CreateNamedTemporary(target, mode, temporaryPath, pendingSlot);
    if (descriptor >= 0)
        ::flock(descriptor, LOCK_EX | LOCK_NB);
    return descriptor;
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

// Which of the old file's owner and group the new file could not take, by name.
std::string OwnershipRule(int descriptor, const struct stat& old) {
    struct stat fresh;
    if (::fstat(descriptor, &fresh) == 0 && fresh.st_uid == old.st_uid) {
        std::vector<char> buffer(16384);
        struct group entry;
        struct group* found = nullptr;
        ::getgrgid_r(old.st_gid, &entry, buffer.data(), buffer.size(), &found);
        return "cannot keep the file's group " +
               (found ? std::string(found->gr_name) : std::to_string(old.st_gid));
    }
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    ::getpwuid_r(old.st_uid, &entry, buffer.data(), buffer.size(), &found);
    return "cannot keep the file's owner " +
           (found ? std::string(found->pw_name) : std::to_string(old.st_uid));
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

bool FileReplacement::Begin(std::string_view path, const TargetCondition& condition) {
    Abandon();
    m_failed = true;
    m_error = 0;
    m_rule.clear();
    m_condition = condition;
    m_targetChanged = false;
    if (!ResolveWriteTarget(path, m_target)) {
        NoteFailure(errno != 0 ? errno : ENOENT);
        return false;
    }
    struct stat existing;
    m_targetExists = ::stat(m_target.c_str(), &existing) == 0;
    if (!m_targetExists && errno != ENOENT) {
        NoteFailure(errno);
        return false;
    }
    const bool asExamined = condition.rule == ETargetRule::eAnything ||
                            (condition.rule == ETargetRule::eNothing
                                 ? !m_targetExists
                                 : m_targetExists && StampOf(existing) == condition.stamp);
    if (!asExamined) {
        NoteTargetChanged();
        return false;
    }
    if (m_targetExists && !S_ISREG(existing.st_mode)) {
        NoteFailure(0, "not a plain file");
        return false;
    }
    if (m_targetExists && ::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0) {
        NoteFailure(errno);
        return false;
    }
    m_targetMode = m_targetExists ? existing.st_mode & 07777 : 0;
    const std::string folder = FolderOfPosixPath(m_target);
    if (FirstReplacementIn(folder))
        RemoveLeftoverTemporaries(folder);
    // Until it is complete, the new file of an existing one is for its writer's eyes only.
    m_descriptor =
        CreateNewFile(m_target, m_targetExists ? 0600 : 0666, m_temporary, m_pendingSlot);
    if (m_descriptor < 0) {
        NoteFailure(errno);
        return false;
    }
    if (m_targetExists && !TakeOwnership(m_descriptor, existing)) {
        NoteFailure(0, OwnershipRule(m_descriptor, existing));
        Abandon();
        return false;
    }
    m_failed = false;
    return true;
}

bool FileReplacement::Write(const void* data, size_t size) {
    if (!m_failed && !WriteAll(m_descriptor, data, size)) {
        NoteFailure(errno != 0 ? errno : EIO);
        m_failed = true;
    }
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
    // An unnamed file that must take a free name is linked to it directly;
    // every other new file has a temporary name before it takes the target's.
    const bool linkDirectly = m_temporary.empty() && m_condition.rule == ETargetRule::eNothing;
    // The bits are set last: a write by anyone but the superuser clears set-id bits.
    // An unnamed file gets a name only once it is whole and on the disk.
    struct stat fresh;
    bool written = !m_failed && (!m_targetExists || ::fchmod(m_descriptor, m_targetMode) == 0) &&
                   ::fsync(m_descriptor) == 0 && ::fstat(m_descriptor, &fresh) == 0 &&
                   (linkDirectly || !m_temporary.empty() ||
                    NameUnnamedFile(m_descriptor, m_target, m_temporary, m_pendingSlot));
    if (!written && !m_failed)
        NoteFailure(errno);
    if (written)
        m_newInode = static_cast<uint64_t>(fresh.st_ino);
    bool placed = false;
    if (written && linkDirectly) {
        if (g_replacementTestHooks.beforeRename)
            g_replacementTestHooks.beforeRename();
        placed = LinkUnnamedFile(m_descriptor, m_target.c_str());
        if (!placed && errno == EEXIST)
            NoteTargetChanged();
        else if (!placed)
            NoteFailure(errno);
    }
    // Once linked, the file is whole on the disk: only a named file's close still counts.
    const bool closed = ::close(m_descriptor) == 0;
    m_descriptor = -1;
    if (!closed && written && !linkDirectly) {
        NoteFailure(errno);
        written = false;
    }
    if (written && !linkDirectly) {
        if (g_replacementTestHooks.beforeRename)
            g_replacementTestHooks.beforeRename();
        placed = TakeTargetName();
    }
    if (!placed) {
        Abandon();
        return false;
    }
    ReleasePending(m_pendingSlot);
    m_temporary.clear();
    SyncFolder(m_target);
    return true;
}

bool FileReplacement::TakeTargetName() {
    if (m_condition.rule == ETargetRule::eNothing)
        return TakeFreeName();
    if (m_condition.rule == ETargetRule::eSameFile)
        return TakePlaceOfSameFile();
    if (::rename(m_temporary.c_str(), m_target.c_str()) == 0)
        return true;
    NoteFailure(errno);
    return false;
}

bool FileReplacement::TakeFreeName() {
    if (RenameWithFlags(m_temporary, m_target, RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST) {
        NoteTargetChanged();
        return false;
    }
    if (!RenameFlagsUnsupported(errno)) {
        NoteFailure(errno);
        return false;
    }
    // Without such renames (NFS, for one) a hard link takes only a free name too.
    if (::link(m_temporary.c_str(), m_target.c_str()) == 0) {
        ::unlink(m_temporary.c_str());
        return true;
    }
    // Neither (a file system without hard links): the name is checked just before the rename.
    struct stat info;
    if (errno == EEXIST || ::lstat(m_target.c_str(), &info) == 0) {
        NoteTargetChanged();
        return false;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) == 0)
        return true;
    NoteFailure(errno);
    return false;
}

bool FileReplacement::TakePlaceOfSameFile() {
    if (RenameWithFlags(m_temporary, m_target, RENAME_EXCHANGE) != 0) {
        if (errno == ENOENT) {
            NoteTargetChanged();
            return false;
        }
        if (!RenameFlagsUnsupported(errno)) {
            NoteFailure(errno);
            return false;
        }
        // Without exchanges the target is checked just before the rename.
        if (!HoldsExaminedFile(m_target)) {
            NoteTargetChanged();
            return false;
        }
        if (::rename(m_temporary.c_str(), m_target.c_str()) == 0)
            return true;
        NoteFailure(errno);
        return false;
    }
    // The old file has the temporary name now: an interruption must not remove it.
    ReleasePending(m_pendingSlot);
    if (HoldsExaminedFile(m_temporary)) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
        return true;
    }
    // Another file had taken the target: it goes back, and the new file goes.
    RenameWithFlags(m_temporary, m_target, RENAME_EXCHANGE);
    struct stat info;
    if (::lstat(m_temporary.c_str(), &info) == 0 &&
        static_cast<uint64_t>(info.st_ino) == m_newInode)
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
    NoteTargetChanged();
    return false;
}

bool FileReplacement::HoldsExaminedFile(const std::string& path) const {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && StampOf(info) == m_condition.stamp;
}

void FileReplacement::NoteTargetChanged() {
    m_targetChanged = true;
    NoteFailure(0, m_condition.rule == ETargetRule::eNothing ? "a file appeared there meanwhile"
                                                             : "the file there changed meanwhile");
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

void FileReplacement::NoteFailure(int error, std::string rule) {
    if (m_error != 0 || !m_rule.empty())
        return;
    m_error = error;
    m_rule = std::move(rule);
    if (m_error == 0 && m_rule.empty())
        m_error = EIO;
}

std::string FileReplacement::FailureText() const {
    if (!m_rule.empty())
        return m_rule;
    return m_error != 0 ? std::strerror(m_error) : std::string();
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

} // namespace platform
