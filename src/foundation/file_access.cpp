#include "foundation/file_access.h"

#include "foundation/directory_scan.h"
#include "foundation/file_contents.h"
#include "foundation/posix_file.h"
#include "platform/file_system.h"
#include "platform/path_mapping.h"

#include <cstring>
#include <filesystem>
#include <system_error>

bool SystemFileAccess::ReadFile(const CVxString& path, CVxString& bytes, uint32_t maxSize) {
    return ReadBinaryFile(path, bytes, maxSize);
}

bool SystemFileAccess::ReadHead(const CVxString& path, void* buffer, size_t size) {
    CVxPosixFile file;
    return file.Open(path, "rb") && file.Read(buffer, size) == size;
}

bool SystemFileAccess::ListFolder(const CVxString& pattern, bool includeHidden,
                                  std::vector<FolderEntry>& entries) {
    entries.clear();
    CVxDirectoryScan scan(pattern, includeHidden);
    while (scan.Next())
        entries.push_back({scan.Name(), scan.FullPath(), scan.IsDirectory()});
    return scan.Listed();
}

PathState SystemFileAccess::Examine(const CVxString& path) {
    CVxString examined(path);
    examined.SlashesToBackslashes();
    const platform::EntryState entry = platform::ExamineEntry(examined.View());
    PathState state;
    state.error = entry.error;
    state.stamp = entry.stamp;
    switch (entry.kind) {
    case platform::EEntryKind::eMissing:
        state.kind = EPathKind::eMissing;
        break;
    case platform::EEntryKind::eFile:
        state.kind = EPathKind::eFile;
        break;
    case platform::EEntryKind::eFolder:
        state.kind = EPathKind::eFolder;
        break;
    case platform::EEntryKind::eOther:
        state.kind = EPathKind::eOther;
        break;
    }
    return state;
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

bool SystemFileAccess::Append(const CVxString& path, const void* data, size_t size) {
    CVxString written(path);
    written.SlashesToBackslashes();
    return platform::AppendToFile(written.View(), data, size);
}

std::string SystemFileAccess::FolderWriteFailure(const CVxString& folder) {
    CVxString written(folder);
    written.SlashesToBackslashes();
    const int error = platform::FolderWriteError(written.View());
    return error == 0 ? std::string() : std::string(std::strerror(error));
}

bool SystemFileAccess::SystemPath(const CVxString& path, std::string& systemPath) {
    CVxString written(path);
    written.SlashesToBackslashes();
    if (!platform::ResolvePath(written.View(), systemPath))
        return false;
    std::error_code error;
    systemPath = std::filesystem::canonical(systemPath, error).string();
    return !error;
}

std::string SystemFileAccess::Identity(const CVxString& path) {
    CVxString written(path);
    written.SlashesToBackslashes();
    return platform::FileIdentity(written.View());
}

bool ReadTextFile(FileAccess& files, const CVxString& path, CVxString& text, bool keepLineBreaks) {
    // The text's buffer holds one byte more than the file; that byte must still be countable.
    if (!files.ReadFile(path, text, CVxString::npos - 1)) {
        text.Empty();
        return false;
    }
    text.SetLength(static_cast<uint32_t>(std::strlen(text.c_str())));
    if (!keepLineBreaks)
        text.ConvertLineBreaks(1);
    return true;
}
