#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// Opens a file with an fopen mode ("t" is accepted and means nothing here). Reading modes
// need an existing file; writing modes reuse an existing name that differs only in case.
// Folders are never opened. Returns null on failure.
FILE* OpenStream(std::string_view path, const char* mode);

// True when the path names an existing folder.
bool IsFolder(std::string_view path);

// 0 when the process may create files in the folder, else the errno that
// says why not (ENOENT, ENOTDIR, EACCES, EROFS, ...).
int FolderWriteError(std::string_view path);

// A file replaced by one written beside it in pieces: the old file stays whole
// until Commit renames the new one over it, and a replacement that is not
// committed (the object destroyed first) leaves no file behind.
//
// Where the file system allows it, the new file has no name until it is whole
// and on the disk, so that even a process killed outright leaves nothing; else
// it is a hidden temporary file. The first replacement in a folder during a
// run removes the temporary files that killed runs of this program left there.
//
// A replacement does nothing that writing the file in place could not: a
// target that is not a plain file, or that the process may not write, is
// refused, as is one whose owner the new file could not keep. A symbolic link
// is followed to the file it names, which is replaced there (or created, for a
// dangling link), so the link stays a link. The new file keeps the old one's
// owner, group and permission bits, and the folder is synced after the rename.
class FileReplacement {
public:
    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement() { Abandon(); }

    // Starts the new file beside the file that `path` names; false when the
    // target is refused or the new file cannot be created.
    bool Begin(std::string_view path);
    // False once any write failed; later calls keep failing.
    bool Write(const void* data, size_t size);
    // Flushes the new file to the disk and renames it over the target.
    bool Commit();
    // Drops the new file.
    void Abandon();
    // Why Begin, Write or Commit failed, for people: the system's text for the
    // error, or the rule above that refused the target. Empty while none failed.
    std::string FailureText() const;

private:
    // Keeps the first cause of a failure; `error` is an errno value, or 0 for a rule.
    void NoteFailure(int error, std::string rule = std::string());

    static constexpr uint64_t kWritebackStep = uint64_t(8) << 20;
    void StartWriteback();

    std::string m_target;
    std::string m_temporary; // empty while the new file has no name
    int m_descriptor = -1;
    int m_pendingSlot = -1;
    uint64_t m_written = 0;
    uint64_t m_flushStart = 0;
    bool m_failed = false;
    int m_error = 0;
    std::string m_rule;
    bool m_targetExists = false;
    unsigned m_targetMode = 0;
};

// Removes the temporary file of every replacement that is under way. Safe to
// call from a signal handler.
void RemovePendingReplacements();

// Makes an interruption (SIGINT, SIGTERM, SIGHUP, SIGQUIT) remove the pending
// temporary files before the signal ends the process as it would have anyway,
// and turns a file size limit (SIGXFSZ) into a failed write. A signal that is
// ignored when this is called stays ignored.
void InstallReplacementSignalHandlers();

// Appends bytes to a file, creating it when its folder exists.
bool AppendToFile(std::string_view path, const void* data, size_t size);

} // namespace platform
