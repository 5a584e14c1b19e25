#pragma once

#include "foundation/file_access.h"
#include "foundation/name_table.h"
#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Whether a file that exists at a LUT name as written (relative to the working
// folder) is taken before a file of that name in the LUT folders.
enum class ELutNameOrder : uint8_t { eIndexFirst, eExistingFileFirst };

// File names of the LUT search folders mapped to their full paths. Names are
// matched without regard to case; when a name occurs in several folders the
// earlier folder wins.
class LutFolderIndex {
public:
    // Lists each absolute folder (relative ones are skipped) without descending
    // into sub-folders, and replaces whatever the index held.
    void Build(FileAccess& files, const CVxString* folders, size_t count);
    bool Find(const CVxString& name, CVxString& fullPath) const;
    // Every indexed name, sorted without regard to case.
    const std::vector<CVxString>& Names() const { return m_names; }

    // The path at which to open a LUT that a file, a look or a pipeline names.
    // An absolute path stands as it is; a name that the index holds stands for
    // the indexed file; any other name is taken in `folder` (which ends in a
    // backslash) when one is given, and as it stands otherwise. When no file
    // is there either, a file of that name in `lastFolder` (empty for none,
    // else ending in a backslash) is taken instead.
    CVxString Resolve(FileAccess& files, const CVxString& name, const CVxString& folder,
                      ELutNameOrder order, const CVxString& lastFolder = CVxString()) const;

private:
    NameTable<CVxString> m_paths;
    std::vector<CVxString> m_names;
};
