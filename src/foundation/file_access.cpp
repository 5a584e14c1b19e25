#include "foundation/file_access.h"

#include "foundation/paths.h"
#include "platform/directory_search.h"
#include "platform/file_replacement.h"
#include "platform/file_system.h"
#include "platform/path_mapping.h"

#include <cstring>
#include <new>
#include <string_view>

// The system's files are reached here and nowhere else above the platform
// layer: the listing, the reads and the replacement below are this file's own.
namespace {

// The platform's form of a framework path: slashes become backslashes.
CVxString PlatformPath(const CVxString& path) {
    CVxString written(path);
    written.SlashesToBackslashes();
    return written;
}

// Lists one folder, filtered by a wildcard list ("*.look;*.lut").
class CVxDirectoryScan {
public:
    CVxDirectoryScan(const CVxString& pattern, bool includeHidden)
        : m_namePattern(PlatformPath(FileNameOf(pattern))),
          m_folder(PlatformPath(FolderOf(pattern))), m_includeHidden(includeHidden) {}
    CVxDirectoryScan(const CVxDirectoryScan&) = delete;
    CVxDirectoryScan& operator=(const CVxDirectoryScan&) = delete;

    bool Next() {
        if (!m_started) {
            m_started = true;
            m_status = m_search.Open(m_folder.View());
            if (!m_status)
                return false;
        }
        if (!m_status)
            return false;
        while (const platform::DirectoryEntry* entry = m_search.Next()) {
            CVxString name(entry->name.data(), static_cast<uint32_t>(entry->name.size()));
            const bool dotEntry = entry->name == "." || entry->name == "..";
            const bool hidden =
                entry->isHidden || entry->isSystem || (name.StartsWith(".") && !dotEntry);
            if (!name.MatchesWildcards(m_namePattern) || (hidden && !m_includeHidden))
                continue;
            m_entryName = name;
            m_entryIsDirectory = entry->isDirectory;
            return true;
        }
        return false;
    }
    bool IsDirectory() const { return m_entryIsDirectory; }
    CVxString FullPath() const {
        CVxString path;
        MakePath(path, CVxString(), m_folder, m_entryName, CVxString());
        return path;
    }
    const CVxString& Name() const { return m_entryName; }
    // Whether the folder could be listed (known once Next was called).
    const FileStatus& Status() const { return m_status; }

private:
    CVxString m_namePattern;
    CVxString m_folder;
    bool m_includeHidden;
    bool m_started = false;
    FileStatus m_status;
    platform::DirectorySearch m_search;
    CVxString m_entryName;
    bool m_entryIsDirectory = false;
};

// A replacement written in pieces: Append as often as needed, then Commit. It
// begins with the first Append, so a writer that fails before its first byte
// leaves nothing behind, not even a temporary file. Until Commit the old file
// stays whole; one destroyed without Commit leaves nothing behind.
class FileReplacementSink final : public FileOutput {
public:
    FileReplacementSink(const CVxString& path, const platform::TargetCondition& condition)
        : m_path(PlatformPath(path)), m_condition(condition) {}

    bool Append(const void* data, size_t size) override {
        if (!m_begun) {
            m_begun = true;
            m_open = m_file.Begin(m_path.View(), m_condition);
        }
        return m_open && m_file.Write(data, size);
    }
    bool Commit() override { return m_open && m_file.Commit(); }
    std::string FailureText() const override { return m_file.FailureText(); }
    bool TargetChanged() const override { return m_file.TargetChanged(); }

private:
    CVxString m_path;
    platform::TargetCondition m_condition;
    platform::FileReplacement m_file;
    bool m_begun = false;
    bool m_open = false;
};

EPathKind KindOf(platform::EEntryKind kind) {
    switch (kind) {
    case platform::EEntryKind::eMissing:
        return EPathKind::eMissing;
    case platform::EEntryKind::eFile:
        return EPathKind::eFile;
    case platform::EEntryKind::eFolder:
        return EPathKind::eFolder;
    case platform::EEntryKind::eOther:
        break;
    }
    return EPathKind::eOther;
}

} // namespace

void SystemFileAccess::RemoveTemporariesOnInterruption() {
    platform::InstallReplacementSignalHandlers();
}

FileStatus SystemFileAccess::ReadFile(const CVxString& path, CVxString& bytes, uint32_t maxSize) {
    bytes.Empty();
    // The string's buffer holds one byte more than the file, and must stay countable.
    const uint32_t largest = maxSize < 0xFFFFFFFEu ? maxSize : 0xFFFFFFFEu;
    bool given = false;
    const platform::FileRoom room = [&bytes, &given](size_t size) -> char* {
        try {
            char* buffer = bytes.GetBuffer(static_cast<uint32_t>(size));
            given = true;
            return buffer;
        } catch (const std::bad_alloc&) {
            return nullptr; // the string is left as it was: empty
        }
    };
    size_t read = 0;
    const FileStatus status =
        platform::ReadWholeFile(PlatformPath(path).View(), largest, room, read);
    if (given)
        bytes.SetLength(static_cast<uint32_t>(read));
    return status;
}

FileStatus SystemFileAccess::ReadHead(const CVxString& path, void* buffer, size_t size) {
    return platform::ReadFileHead(PlatformPath(path).View(), buffer, size);
}

FileStatus SystemFileAccess::ListFolder(const CVxString& pattern, bool includeHidden,
                                        std::vector<FolderEntry>& entries) {
    entries.clear();
    CVxDirectoryScan scan(pattern, includeHidden);
    while (scan.Next())
        entries.push_back({scan.Name(), scan.FullPath(), scan.IsDirectory()});
    return scan.Status();
}

PathState SystemFileAccess::Examine(const CVxString& path) {
    const platform::EntryState entry = platform::ExamineEntry(PlatformPath(path).View());
    return PathState{KindOf(entry.kind), entry.error, entry.stamp};
}

std::unique_ptr<FileOutput> SystemFileAccess::StartReplacement(const CVxString& path,
                                                               const PathState* examined) {
    platform::TargetCondition condition;
    if (examined) {
        condition.rule = examined->kind == EPathKind::eMissing ? platform::ETargetRule::eNothing
                                                               : platform::ETargetRule::eSameFile;
        condition.stamp = examined->stamp;
    }
    return std::make_unique<FileReplacementSink>(path, condition);
}

FileStatus SystemFileAccess::Append(const CVxString& path, const void* data, size_t size) {
    return platform::AppendToFile(PlatformPath(path).View(), data, size);
}

FileStatus SystemFileAccess::FolderWriteStatus(const CVxString& folder) {
    return platform::FolderWriteStatus(PlatformPath(folder).View());
}

FileStatus SystemFileAccess::SystemPath(const CVxString& path, std::string& systemPath) {
    return platform::CanonicalPath(PlatformPath(path).View(), systemPath);
}

std::string SystemFileAccess::Identity(const CVxString& path) {
    return platform::FileIdentity(PlatformPath(path).View());
}

FileStatus ReadTextFile(FileAccess& files, const CVxString& path, CVxString& text,
                        bool keepLineBreaks) {
    // The text's buffer holds one byte more than the file; that byte must still be countable.
    const FileStatus status = files.ReadFile(path, text, CVxString::npos - 1);
    if (!status) {
        text.Empty();
        return status;
    }
    text.SetLength(static_cast<uint32_t>(std::strlen(text.c_str())));
    if (!keepLineBreaks)
        text.ConvertLineBreaks(1);
    return status;
}
