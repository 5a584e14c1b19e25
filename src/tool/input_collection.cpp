#include "tool/input_collection.h"

#include "foundation/paths.h"
#include "lut/lut_format_registry.h"

#include <algorithm>
#include <string>

CVxString DirectoryPattern(const CVxString& folder, bool everyLutFile) {
    std::string wildcards = "*.look;*.lut";
    for (const LutFormat& format : LutFormats())
        for (const std::string_view extension : format.extensions)
            if (everyLutFile && extension != ".lut")
                wildcards += ";*" + std::string(extension);
    CVxString pattern;
    MakePath(pattern, CVxString(), folder, CVxString(wildcards.c_str()), CVxString());
    return pattern;
}

void CollectInputFiles(FileAccess& files, const CVxString& pattern,
                       std::vector<CVxString>& inputs) {
    // A name of an existing file names that file, whatever it holds: its
    // folder is listed whole and the file picked from it by name.
    const EPathKind kind = files.Lookup(pattern);
    const bool namesFile = kind == EPathKind::eFile || kind == EPathKind::eOther;
    const CVxString name = FileNameOf(pattern);
    std::vector<FolderEntry> entries;
    files.ListFolder(namesFile ? FolderOf(pattern) + "*" : pattern, false, entries);
    std::erase_if(entries, [&](const FolderEntry& entry) {
        return entry.isFolder || (namesFile && !entry.name.EqualsNoCase(name.c_str()));
    });
    if ((namesFile || pattern.FindOneOf("*?;,") < 0) && entries.size() > 1) {
        const auto exact =
            std::find_if(entries.begin(), entries.end(),
                         [&name](const FolderEntry& entry) { return entry.name == name; });
        entries = {exact != entries.end() ? *exact : entries.front()};
    }
    for (const FolderEntry& entry : entries)
        inputs.push_back(entry.fullPath);
}
