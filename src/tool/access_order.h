#pragma once

#include "foundation/file_access.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// Files converted at once must leave the same files and messages as files
// converted one after the other. Each file writes exactly one file, known
// before it starts (OutputPathFor); what it reads is not known before it runs
// (a look names LUT files that are looked for in several folders). So every
// access of a file is held back, by the file it really reaches, until:
// - a read, lookup or listing: every earlier file that writes what it reaches
//   (for a listing, anything in the folder) is finished, so that it sees what
//   it would have seen one file after the other;
// - a write: every earlier file is finished or has begun to write, and every
//   earlier file that writes the same file is finished. A conversion writes its
//   one output last and reads nothing once it has begun to write it, so no
//   earlier file can see the write, and writes of one file keep their order.
// Every wait is for earlier files only and files start in list order, so the
// earliest unfinished file never waits and the run always moves on.
class AccessOrder {
public:
    // The identity (FileAccess::Identity) of what each file of the list writes.
    explicit AccessOrder(std::vector<std::string> writtenIdentities);

    void BeforeRead(size_t file, const std::string& identity);
    void BeforeList(size_t file, const std::string& folderIdentity);
    void BeforeWrite(size_t file, const std::string& identity);
    void Finish(size_t file);

private:
    bool EarlierWriterUnfinished(size_t file, const std::string& identity) const;

    std::vector<std::string> m_written;
    std::vector<bool> m_finished;
    std::vector<bool> m_writing;
    size_t m_firstUnfinished = 0;
    std::mutex m_lock;
    std::condition_variable m_changed;
};

// The file access of one thread of a batch: every access waits its turn in the
// order, as the file the thread converts at the moment, then goes on to the
// file access underneath.
class OrderedFileAccess final : public FileAccess {
public:
    OrderedFileAccess(FileAccess& files, AccessOrder& order) : m_files(files), m_order(order) {}

    // The file of the list whose accesses follow.
    void SetFile(size_t file) { m_file = file; }

    FileStatus ReadFile(const CVxString& path, CVxString& bytes, uint32_t maxSize) override;
    FileStatus ReadHead(const CVxString& path, void* buffer, size_t size) override;
    FileStatus ListFolder(const CVxString& pattern, bool includeHidden,
                          std::vector<FolderEntry>& entries) override;
    PathState Examine(const CVxString& path) override;
    std::unique_ptr<FileOutput> StartReplacement(const CVxString& path,
                                                 const PathState* examined) override;
    // The log and the output folder are the run's, not a file's: they need no turn.
    FileStatus Append(const CVxString& path, const void* data, size_t size) override {
        return m_files.Append(path, data, size);
    }
    FileStatus FolderWriteStatus(const CVxString& folder) override {
        return m_files.FolderWriteStatus(folder);
    }
    FileStatus SystemPath(const CVxString& path, std::string& systemPath) override;
    std::string Identity(const CVxString& path) override { return m_files.Identity(path); }

private:
    void BeforeRead(const CVxString& path);

    FileAccess& m_files;
    AccessOrder& m_order;
    size_t m_file = 0;
};
