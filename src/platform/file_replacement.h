#pragma once

#include "platform/file_state.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// What a replacement may find at its target when the new file takes the name.
enum class ETargetRule : uint8_t {
    eAnything, // whatever file is there is replaced
    eNothing,  // the name must still be free
    eSameFile, // the file there must still be the one of the stamp
};

struct TargetCondition {
    ETargetRule rule = ETargetRule::eAnything;
    FileStamp stamp; // eSameFile
};

// A file replaced by one written beside it in pieces: the old file stays whole
// until Commit renames the new one over it, and a replacement that is not
// committed (the object destroyed first) leaves no file behind.
//
// Where the file system allows it, the new file has no name until it is whole
// and on the disk, so that even a process killed outright leaves nothing; else
// it is a hidden temporary file named after the target and this program
// (".NAME.gradeshift-PROCESS-N.tmp"). The first replacement in a folder during
// a run removes the files of that pattern that killed runs left there, and no
// file of any other name.
//
// A replacement does nothing that writing the file in place could not: a
// target that is not a plain file, or that the process may not write, is
// refused, as is one whose owner the new file could not keep. A symbolic link
// is followed to the file it names, which is replaced there (or created, for a
// dangling link), so the link stays a link. The new file keeps the old one's
// owner, group and permission bits, and the folder is synced after the rename.
//
// The condition says what may stand at the target when the whole new file
// takes its name, so that a file that appears or changes meanwhile is never
// lost: a name that must be free is taken by a rename that does not replace
// (or a hard link), and a file that must be the one examined is swapped with
// the new one in one step and checked, then swapped back when it is another.
// Where the file system has neither, the target is checked just before a
// plain rename.
class FileReplacement {
public:
    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement() { Abandon(); }

    // Starts the new file beside the file that `path` names; false when the
    // target is refused or the new file cannot be created.
    bool Begin(std::string_view path, const TargetCondition& condition = TargetCondition());
    // False once any write failed; later calls keep failing.
    bool Write(const void* data, size_t size);
    // Flushes the new file to the disk and gives it the target's name.
    bool Commit();
    // Drops the new file.
    void Abandon();
    // Why Begin, Write or Commit failed, for people: the system's text for the
    // error, or the rule above that refused the target. Empty while none failed.
    std::string FailureText() const;
    // True when Begin or Commit found the target not as the condition asks; the
    // target is then as it was found, and the new file is gone.
    bool TargetChanged() const { return m_targetChanged; }

private:
    // Keeps the first cause of a failure; `error` is an errno value, or 0 for a rule.
    void NoteFailure(int error, std::string rule = std::string());
    void NoteTargetChanged();
    // Gives the whole new file the target's name as the condition allows.
    bool TakeTargetName();
    bool TakeFreeName();
    bool TakePlaceOfSameFile();
    // What is now at the target (or at `path`) matches the condition's stamp.
    bool HoldsExaminedFile(const std::string& path) const;

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
    TargetCondition m_condition;
    bool m_targetChanged = false;
    // The new file, to tell it from another one at its temporary name.
    uint64_t m_newInode = 0;
};

// Removes the temporary file of every replacement that is under way. Safe to
// call from a signal handler.
void RemovePendingReplacements();

// Makes an interruption (SIGINT, SIGTERM, SIGHUP, SIGQUIT) remove the pending
// temporary files before the signal ends the process as it would have anyway,
// and turns a file size limit (SIGXFSZ) into a failed write. A signal that is
// ignored when this is called stays ignored.
void InstallReplacementSignalHandlers();

} // namespace platform
