#pragma once

#include "platform/file_state.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;
    // POSIX keeps no such attributes; the fields exist for the scan's hidden rule.
    bool isHidden = false;
    bool isSystem = false;
};

// Lists one folder: "." and ".." first (except for the root), then the entries ordered by
// their names compared byte by byte in upper case.
class DirectorySearch {
public:
    // Lists the folder (framework form; empty means the working folder); fails
    // when the folder cannot be listed.
    FileStatus Open(std::string_view folder);
    // The next entry, or null when the listing is exhausted.
    const DirectoryEntry* Next();

private:
    std::vector<DirectoryEntry> m_entries;
    size_t m_next = 0;
};

// Reads a POSIX folder in listing order; false with errno set when it cannot be read.
bool ListPosixFolder(const std::string& posixFolder, std::vector<DirectoryEntry>& entries);

} // namespace platform
