#include "lut/lut_folder_index.h"

#include "foundation/paths.h"

#include <algorithm>

void LutFolderIndex::Build(FileAccess& files, const CVxString* folders, size_t count) {
    m_paths.Clear();
    m_names.clear();
    for (size_t i = 0; i < count; ++i) {
        CVxString folder = folders[i];
        folder.SlashesToBackslashes();
        if (folder.IsEmpty() || !IsAbsolutePath(folder))
            continue;
        if (!folder.EndsWith("\\"))
            folder.Append('\\');
        std::vector<FolderEntry> entries;
        files.ListFolder(folder + "*.*", false, entries);
        for (const FolderEntry& entry : entries)
            if (!entry.isFolder && m_paths.Insert(entry.name, entry.fullPath))
                m_names.push_back(entry.name);
    }
    std::sort(m_names.begin(), m_names.end(), [](const CVxString& a, const CVxString& b) {
        return a.Compare(b, CVxString::eCaseInsensitive) < 0;
    });
}

bool LutFolderIndex::Find(const CVxString& name, CVxString& fullPath) const {
    const CVxString* found = m_paths.Find(name);
    if (!found)
        return false;
    fullPath = *found;
    return true;
}

CVxString LutFolderIndex::Resolve(FileAccess& files, const CVxString& name, const CVxString& folder,
                                  ELutNameOrder order, const CVxString& lastFolder) const {
    if (IsAbsolutePath(name))
        return name;
    if (order == ELutNameOrder::eExistingFileFirst && FileExists(files, name))
        return name;
    CVxString fullPath;
    if (Find(name, fullPath))
        return fullPath;
    const CVxString path = folder.IsEmpty() ? name : folder + name;
    if (lastFolder.IsEmpty() || FileExists(files, path))
        return path;
    const CVxString last = lastFolder + name;
    return FileExists(files, last) ? last : path;
}
