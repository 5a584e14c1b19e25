#include "tool/input_collection.h"

#include "foundation/paths.h"

CVxString DirectoryPattern(const CVxString& folder) {
    CVxString pattern;
    MakePath(pattern, CVxString(), folder, CVxString("*.look;*.lut"), CVxString());
    return pattern;
}

void CollectInputFiles(FileAccess& files, const CVxString& pattern,
                       std::vector<CVxString>& inputs) {
    std::vector<FolderEntry> entries;
    files.ListFolder(pattern, false, entries);
    for (const FolderEntry& entry : entries)
        if (!entry.isFolder)
            inputs.push_back(entry.fullPath);
}
