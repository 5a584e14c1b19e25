#pragma once

#include "foundation/byte_sink.h"
#include "foundation/vx_string.h"
#include "platform/file_state.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// How a call of the file access ended: done (true as a bool), or the system's
// error and the cause in words for people ("No such file or directory", "not
// a plain file", "empty file"). A caller words a failure from the status it
// was given, never by asking the file system again.
using FileStatus = platform::FileStatus;

// What a path names, as the system tells it (links followed): a plain file, a
// folder, or something else that is there (a FIFO, a device, or a path the
// system cannot tell about, such as a loop of links).
enum class EPathKind : uint8_t { eMissing, eFile, eFolder, eOther };

// What a path names, and which state of it: the kind, the system's error when
// it could not tell (then the kind is eOther), and the file's stamp.
struct PathState {
    EPathKind kind = EPathKind::eMissing;
    int error = 0;
    platform::FileStamp stamp;
};

// One entry of a folder listing.
struct FolderEntry {
    CVxString name;
    CVxString fullPath; // the listed folder's path joined with the name
    bool isFolder = false;
};

// A file being replaced: the bytes go into a new file beside it, which takes
// its place only on Commit; an output destroyed without Commit leaves the old
// file whole and nothing else behind.
class FileOutput : public ByteSink {
public:
    // False when nothing was appended, or the file could not be begun, written or renamed.
    virtual bool Commit() = 0;
    // Why the output failed, for people; empty when it did not or nobody knows.
    virtual std::string FailureText() const { return std::string(); }
    // True when the output was refused because its path no longer held what
    // was examined: a file appeared or changed there. That file is kept.
    virtual bool TargetChanged() const { return false; }
};

// Every read, listing, lookup and replacement of a file goes through this
// interface, which a run hands down to whatever needs files: so a run that
// converts several files at once can keep them in order by the files they
// really reach, and tests can put a file system of their own underneath.
// Paths are framework paths (backslashes or slashes, drive Z: for the root).
class FileAccess {
public:
    virtual ~FileAccess() = default;

    // The whole file, with a spare 0 byte after it for readers that scan it as
    // text. Fails when it cannot be read whole, or with EFBIG when it is larger
    // than maxSize bytes; bytes is then empty or holds what was read.
    virtual FileStatus ReadFile(const CVxString& path, CVxString& bytes, uint32_t maxSize) = 0;
    // The first `size` bytes of a file; fails when it has fewer ("empty file",
    // "shorter than N bytes") or cannot be read.
    virtual FileStatus ReadHead(const CVxString& path, void* buffer, size_t size) = 0;
    // The entries of one folder that match a wildcard list ("*.look;*.lut"), in
    // listing order; hidden entries only when asked for. Fails when the folder
    // cannot be listed.
    virtual FileStatus ListFolder(const CVxString& pattern, bool includeHidden,
                                  std::vector<FolderEntry>& entries) = 0;
    // What the path names, asked of the system without opening it: a file that
    // may not be read is still a file.
    virtual PathState Examine(const CVxString& path) = 0;
    EPathKind Lookup(const CVxString& path) { return Examine(path).kind; }
    // Begins replacing the file at path; the output says on its first write
    // whether the replacement could begin. With `examined`, the path as it was
    // examined: the new file then takes the path only while it still holds
    // that (nothing, or the same file), and is refused otherwise.
    std::unique_ptr<FileOutput> Replace(const CVxString& path,
                                        const PathState* examined = nullptr) {
        return StartReplacement(path, examined);
    }
    virtual std::unique_ptr<FileOutput> StartReplacement(const CVxString& path,
                                                         const PathState* examined) = 0;
    // Appends bytes to a file, making it when it is missing: the program's log,
    // the one file that grows rather than being replaced.
    virtual FileStatus Append(const CVxString& path, const void* data, size_t size) = 0;
    // Whether new files can be made in a folder, and why not.
    virtual FileStatus FolderWriteStatus(const CVxString& folder) = 0;
    // The system's own path of an existing file, for a library that opens
    // files by name itself: absolute, links followed, so that a file reached
    // under several names is one path. Fails when the path names no file.
    virtual FileStatus SystemPath(const CVxString& path, std::string& systemPath) = 0;
    // What the path really reaches, as a text that is the same for every
    // spelling of one file: its folder and name after symbolic links, compared
    // without regard to letter case. The path need not exist.
    virtual std::string Identity(const CVxString& path) = 0;
};

// The files of the machine, as the platform layer reaches them.
class SystemFileAccess final : public FileAccess {
public:
    // Makes an interruption of the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT)
    // remove the temporary files of the replacements under way before it ends
    // the process, and a file size limit fail a write rather than end it. Once,
    // before the first replacement.
    static void RemoveTemporariesOnInterruption();

    FileStatus ReadFile(const CVxString& path, CVxString& bytes, uint32_t maxSize) override;
    FileStatus ReadHead(const CVxString& path, void* buffer, size_t size) override;
    FileStatus ListFolder(const CVxString& pattern, bool includeHidden,
                          std::vector<FolderEntry>& entries) override;
    PathState Examine(const CVxString& path) override;
    std::unique_ptr<FileOutput> StartReplacement(const CVxString& path,
                                                 const PathState* examined) override;
    FileStatus Append(const CVxString& path, const void* data, size_t size) override;
    FileStatus FolderWriteStatus(const CVxString& folder) override;
    FileStatus SystemPath(const CVxString& path, std::string& systemPath) override;
    std::string Identity(const CVxString& path) override;
};

// Reads a whole file as text: a 0 byte in the file ends the text, and unless
// keepLineBreaks is set every "\r\n", "\n\r" and lone "\r" becomes "\n".
FileStatus ReadTextFile(FileAccess& files, const CVxString& path, CVxString& text,
                        bool keepLineBreaks = false);

inline bool FileExists(FileAccess& files, const CVxString& path) {
    return files.Lookup(path) == EPathKind::eFile;
}

inline bool IsFolder(FileAccess& files, const CVxString& path) {
    return files.Lookup(path) == EPathKind::eFolder;
}
