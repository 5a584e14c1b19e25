#include "platform/folder_names.h"

#include "platform/ascii.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#ifdef __linux__
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#endif

namespace platform {

namespace {

bool IsEntryName(std::string_view name) {
    return name != "." && name != "..";
}

// Reads the rest of a listing for the element, counting its entries.
bool ScanListing(DIR* listing, std::string_view element, std::string& name, size_t& entries) {
    bool found = false;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view candidate(entry->d_name);
        if (!IsEntryName(candidate))
            continue;
        ++entries;
        if (!ascii::EqualsNoCase(candidate, element))
            continue;
        if (!found || candidate < std::string_view(name))
            name.assign(candidate);
        found = true;
    }
    return found;
}

#ifdef __linux__

// Folders smaller than this are read for every look-up: it costs less than
// keeping them.
constexpr size_t kIndexedFolderEntries = 256;
// Watches are the user's, shared with every program that watches files.
constexpr size_t kMostIndexedFolders = 16;
constexpr uint32_t kWatchedChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// What ends a folder's index: the folder gone, moved, unmounted or its watch removed.
constexpr uint32_t kFolderGone = IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

// File systems on which a watch sees every change: on a network file system
// it sees this machine's alone, and a user-space one may not report at all.
bool WatchSeesEveryChange(int descriptor) {
    struct statfs info;
    if (::fstatfs(descriptor, &info) != 0)
        return false;
    switch (static_cast<uint64_t>(info.f_type)) {
    case EXT4_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
        return true;
    default:
        return false;
    }
}

// A name's hash without regard to case: FNV-1a of its bytes in upper case.
uint64_t FoldedHash(std::string_view name) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(ascii::Upper(c));
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// What one watched folder holds: how many names it has of each folded hash.
// It can only tell that a name is missing: a name it may hold is looked for
// in the folder itself, so that a count left too high (a name listed and
// then reported made) or two names of one hash cost a reading, not a wrong
// answer. (A count left too low needs a name removed before the folder was
// first read whose 64-bit hash another name shares.) About 40 bytes a name,
// whatever its length.
struct FolderIndex {
    dev_t device = 0;
    ino_t inode = 0;
    int watch = -1;
    uint64_t lastUse = 0;
    std::unordered_map<uint64_t, uint32_t> foldedNames;

    void Add(std::string_view name) { ++foldedNames[FoldedHash(name)]; }

    void Remove(std::string_view name) {
        const auto entry = foldedNames.find(FoldedHash(name));
        if (entry != foldedNames.end() && --entry->second == 0)
            foldedNames.erase(entry);
    }

    bool Lacks(std::string_view element) const {
        return !foldedNames.contains(FoldedHash(element));
    }
};

// The indexed folders of the run and the one notification queue of their
// watches. Look-ups come from several threads at once.
class FolderIndexes {
public:
    // True when the index of the folder at `path`, after every change the
    // kernel has reported, holds no name equal to the element but for case.
    bool Lacks(const char* path, std::string_view element) {
        std::lock_guard lock(m_mutex);
        if (m_indexes.empty())
            return false;
        TakeNotices();
        struct stat info;
        if (::stat(path, &info) != 0)
            return false;
        FolderIndex* index = IndexOf(info);
        if (!index)
            return false;
        index->lastUse = ++m_clock;
        return index->Lacks(element);
    }

    // Indexes the folder of an open listing: watched first, then read again
    // from its start, so that nothing made meanwhile goes unseen.
    void Index(DIR* listing) {
        std::lock_guard lock(m_mutex);
        const int descriptor = ::dirfd(listing);
        struct stat info;
        if (::fstat(descriptor, &info) != 0 || IndexOf(info) || !OpenQueue() ||
            !WatchSeesEveryChange(descriptor))
            return;
        // The open folder itself is watched, whatever its path names by now.
        const std::string handle = "/proc/self/fd/" + std::to_string(descriptor);
        FolderIndex index;
        index.device = info.st_dev;
        index.inode = info.st_ino;
        index.watch = ::inotify_add_watch(m_queue, handle.c_str(), kWatchedChanges);
        if (index.watch < 0)
            return;
        ::rewinddir(listing);
        while (const dirent* entry = ::readdir(listing))
            if (IsEntryName(entry->d_name))
                index.Add(entry->d_name);
        index.lastUse = ++m_clock;
        if (m_indexes.size() == kMostIndexedFolders)
            DropLeastUsed();
        m_indexes.push_back(std::move(index));
    }

private:
    bool OpenQueue() {
        if (m_queue < 0 && !m_queueFailed) {
            m_queue = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            m_queueFailed = m_queue < 0;
        }
        return m_queue >= 0;
    }

    FolderIndex* IndexOf(const struct stat& info) {
        for (FolderIndex& index : m_indexes)
            if (index.device == info.st_dev && index.inode == info.st_ino)
                return &index;
        return nullptr;
    }

    FolderIndex* IndexWatchedBy(int watch) {
        for (FolderIndex& index : m_indexes)
            if (index.watch == watch)
                return &index;
        return nullptr;
    }

    void Drop(const FolderIndex& index) {
        ::inotify_rm_watch(m_queue, index.watch);
        std::erase_if(m_indexes, [&](const FolderIndex& i) { return &i == &index; });
    }

    void DropLeastUsed() {
        Drop(*std::min_element(
            m_indexes.begin(), m_indexes.end(),
            [](const FolderIndex& x, const FolderIndex& y) { return x.lastUse < y.lastUse; }));
    }

    // Applies every notice queued so far; a queue that overflowed has lost
    // some, so every index goes.
    void TakeNotices() {
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t length = ::read(m_queue, buffer, sizeof buffer);
            if (length < 0 && errno == EINTR)
                continue;
            if (length <= 0)
                return;
            for (ssize_t at = 0; at < length;) {
                const auto* notice = reinterpret_cast<const inotify_event*>(buffer + at);
                Apply(*notice);
                at += static_cast<ssize_t>(sizeof(inotify_event) + notice->len);
            }
        }
    }

    void Apply(const inotify_event& notice) {
        if (notice.mask & IN_Q_OVERFLOW) {
            while (!m_indexes.empty())
                Drop(m_indexes.back());
            return;
        }
        FolderIndex* index = IndexWatchedBy(notice.wd);
        if (!index)
            return;
        if (notice.mask & kFolderGone) {
            Drop(*index);
            return;
        }
        const std::string_view name = notice.len ? std::string_view(notice.name) : "";
        if (notice.mask & (IN_CREATE | IN_MOVED_TO))
            index->Add(name);
        else if (notice.mask & (IN_DELETE | IN_MOVED_FROM))
            index->Remove(name);
    }

    std::mutex m_mutex;
    int m_queue = -1;
    bool m_queueFailed = false;
    uint64_t m_clock = 0;
    std::vector<FolderIndex> m_indexes;
};

// Kept for the whole process: helper threads may still look names up while it ends.
FolderIndexes& Indexes() {
    static FolderIndexes& indexes = *new FolderIndexes;
    return indexes;
}

#endif

} // namespace

bool FindNameNoCase(const std::string& folder, std::string_view element, std::string& name) {
    const char* path = folder.empty() ? "." : folder.c_str();
#ifdef __linux__
    if (Indexes().Lacks(path, element))
        return false;
#endif
    DIR* listing = ::opendir(path);
    if (!listing)
        return false;
    size_t entries = 0;
    const bool found = ScanListing(listing, element, name, entries);
#ifdef __linux__
    if (entries >= kIndexedFolderEntries)
        Indexes().Index(listing);
#endif
    ::closedir(listing);
    return found;
}

} // namespace platform
