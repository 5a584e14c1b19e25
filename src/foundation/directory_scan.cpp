#include "foundation/directory_scan.h"

#include "foundation/paths.h"
#include "platform/directory_search.h"

#include <string_view>

CVxDirectoryScan::CVxDirectoryScan(const CVxString& pattern, bool includeHidden)
    : m_namePattern(FileNameOf(pattern)), m_folder(FolderOf(pattern)),
      m_includeHidden(includeHidden) {
    m_namePattern.SlashesToBackslashes();
    m_folder.SlashesToBackslashes();
}

CVxDirectoryScan::~CVxDirectoryScan() = default;

bool CVxDirectoryScan::Next() {
    if (!m_started) {
        m_started = true;
        m_search = std::make_unique<platform::DirectorySearch>();
        if (!m_search->Open(m_folder.View())) {
            m_search.reset();
            return false;
        }
        m_listed = true;
    }
    if (!m_search)
        return false;
    while (const platform::DirectoryEntry* entry = m_search->Next()) {
        CVxString name(entry->name.data(), static_cast<uint32_t>(entry->name.size()));
        bool dotEntry = entry->name == "." || entry->name == "..";
        bool hidden = entry->isHidden || entry->isSystem || (name.StartsWith(".") && !dotEntry);
        if (!name.MatchesWildcards(m_namePattern) || (hidden && !m_includeHidden))
            continue;
        m_entryName = name;
        m_entryIsDirectory = entry->isDirectory;
        return true;
    }
    m_search.reset();
    return false;
}

bool CVxDirectoryScan::IsDirectory() const {
    return m_entryIsDirectory;
}

CVxString CVxDirectoryScan::FullPath() const {
    CVxString path;
    MakePath(path, CVxString(), m_folder, m_entryName, CVxString());
    return path;
}
