#include "platform/directory_search.h"

#include "platform/ascii.h"
#include "platform/path_mapping.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace platform {

namespace {

// Upper-case byte order; names equal in upper case keep a fixed order by their bytes.
bool ListsBefore(const DirectoryEntry& a, const DirectoryEntry& b) {
    size_t common = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < common; ++i) {
        unsigned char ca = static_cast<unsigned char>(ascii::Upper(a.name[i]));
        unsigned char cb = static_cast<unsigned char>(ascii::Upper(b.name[i]));
        if (ca != cb)
            return ca < cb;
    }
    if (a.name.size() != b.name.size())
        return a.name.size() < b.name.size();
    return a.name < b.name;
}

bool IsRootFolder(const std::string& folder) {
    struct stat self, parent;
    if (::stat(folder.c_str(), &self) != 0 || ::stat((folder + "/..").c_str(), &parent) != 0)
        return false;
    return self.st_dev == parent.st_dev && self.st_ino == parent.st_ino;
}

bool EntryIsDirectory(const std::string& folder, const dirent* entry) {
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK)
        return false;
    struct stat info;
    std::string path = folder + "/" + entry->d_name;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

bool ListPosixFolder(const std::string& posixFolder, std::vector<DirectoryEntry>& entries) {
    entries.clear();
    DIR* folder = ::opendir(posixFolder.c_str());
    if (!folder)
        return false;
    while (const dirent* entry = ::readdir(folder)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        entries.push_back({name, EntryIsDirectory(posixFolder, entry), false, false});
    }
    ::closedir(folder);
    std::sort(entries.begin(), entries.end(), ListsBefore);
    if (!IsRootFolder(posixFolder)) {
        entries.insert(entries.begin(), {DirectoryEntry{".", true, false, false},
                                         DirectoryEntry{"..", true, false, false}});
    }
    return true;
}

FileStatus DirectorySearch::Open(std::string_view folder) {
    m_entries.clear();
    m_next = 0;
    std::string posixFolder;
    if (!ResolvePath(folder, posixFolder))
        return FileStatus::SystemError(ENOENT);
    return ListPosixFolder(posixFolder, m_entries) ? FileStatus() : FileStatus::SystemError(errno);
}

const DirectoryEntry* DirectorySearch::Next() {
    if (m_next >= m_entries.size())
        return nullptr;
    return &m_entries[m_next++];
}

} // namespace platform
