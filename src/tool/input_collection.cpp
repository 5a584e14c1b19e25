#include "tool/input_collection.h"

#include "foundation/directory_scan.h"
#include "foundation/paths.h"

CVxString DirectoryPattern(const CVxString& folder) {
    CVxString pattern;
    MakePath(pattern, CVxString(), folder, CVxString("*.look;*.lut"), CVxString());
    return pattern;
}

void CollectInputFiles(const CVxString& pattern, CVxList<CVxString>& files) {
    CVxDirectoryScan scan(pattern, false);
    while (scan.Next()) {
        if (!scan.IsDirectory())
            files.AddTail(new CVxString(scan.FullPath()));
    }
}
