#pragma once

#include "platform/file_state.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Reading, examining and appending to files by their framework paths. Only
// the file access of foundation/ calls these; everything above it reaches
// files through that interface. Replacing a file is file_replacement.h.
//
// A read takes plain files only: a folder fails with EISDIR, and a FIFO, a
// device or a socket with "not a plain file" (it is never opened in a way
// that could wait). A path that names nothing here fails with ENOENT, or with
// the error that kept the system from telling (EACCES for a folder on the way
// that may not be searched).
namespace platform {

// What a path names, as the system tells it with links followed.
enum class EEntryKind : uint8_t { eMissing, eFile, eFolder, eOther };

struct EntryState {
    EEntryKind kind = EEntryKind::eMissing;
    // The errno that kept the system from telling what is there (EACCES for a
    // folder that may not be searched, ELOOP for links in a circle); the kind
    // is then eOther. 0 otherwise.
    int error = 0;
    FileStamp stamp;
};

// What the path names, resolved as a write through it would be (letter case,
// then links): a dangling link is missing, since a write creates its file.
// Nothing is opened, so a file that may not be read is still a file.
EntryState ExamineEntry(std::string_view path);

// Reads the first `size` bytes of a file. One that has fewer fails with
// "empty file" or "shorter than N bytes".
FileStatus ReadFileHead(std::string_view path, void* buffer, size_t size);

// Gives room for a whole file of `size` bytes; null when there is none.
using FileRoom = std::function<char*(size_t size)>;

// Reads a whole file into the room that `room` gives for its size, and says in
// `read` how many bytes it holds. A file larger than maxSize fails with EFBIG
// ("larger than N bytes") before any room is asked for, one without room with
// ENOMEM, and one that ends before its size was read with "cannot be read".
FileStatus ReadWholeFile(std::string_view path, uint64_t maxSize, const FileRoom& room,
                         size_t& read);

// Whether the process may create files in the folder: ENOENT, ENOTDIR, EACCES,
// EROFS, ... when not.
FileStatus FolderWriteStatus(std::string_view path);

// Appends bytes to a file, creating it when its folder exists.
FileStatus AppendToFile(std::string_view path, const void* data, size_t size);

// The absolute POSIX path of an existing file or folder, with every link
// resolved, so that a file reached under several names has one such path.
FileStatus CanonicalPath(std::string_view path, std::string& canonical);

} // namespace platform
