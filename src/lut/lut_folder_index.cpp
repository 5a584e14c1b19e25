#include "lut/lut_folder_index.h"

#include "foundation/directory_scan.h"
#include "foundation/paths.h"
#include "foundation/settings.h"

#include <algorithm>

void LutFolderIndex::Build(const CVxString* folders, size_t count) {
    m_paths.Clear();
    m_names.clear();
    for (size_t i = 0; i < count; ++i) {
        CVxString folder = folders[i];
        folder.SlashesToBackslashes();
        if (folder.IsEmpty() || !IsAbsolutePath(folder))
            continue;
        if (!folder.EndsWith("\\"))
            folder.Append('\\');
        CVxDirectoryScan scan(folder + "*.*", false);
        while (scan.Next()) {
            if (scan.IsDirectory())
                continue;
            if (m_paths.Insert(scan.Name(), scan.FullPath()))
                m_names.push_back(scan.Name());
        }
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

const LutFolderIndex& LutFolderIndex::Shared() {
    static const LutFolderIndex index = [] {
        SettingsStore& store = GlobalSettings().UserStore();
        const CVxString folders[2] = {store.GetString("ColorTransforms.LUTPath1", CVxString()),
                                      store.GetString("ColorTransforms.LUTPath2", CVxString())};
        LutFolderIndex built;
        built.Build(folders, 2);
        return built;
    }();
    return index;
}

CVxString LutFolderIndex::Resolve(const CVxString& name, const CVxString& folder,
                                  ELutNameOrder order, const CVxString& lastFolder) const {
    if (IsAbsolutePath(name))
        return name;
    if (order == ELutNameOrder::eExistingFileFirst && FileExists(name))
        return name;
    CVxString fullPath;
    if (Find(name, fullPath))
        return fullPath;
    const CVxString path = folder.IsEmpty() ? name : folder + name;
    if (lastFolder.IsEmpty() || FileExists(path))
        return path;
    const CVxString last = lastFolder + name;
    return FileExists(last) ? last : path;
}

CVxString ResolveLutName(const CVxString& name, const CVxString& folder, ELutNameOrder order,
                         const CVxString& lastFolder) {
    if (IsAbsolutePath(name))
        return name;
    return LutFolderIndex::Shared().Resolve(name, folder, order, lastFolder);
}
