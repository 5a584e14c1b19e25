#pragma once

#include "foundation/name_table.h"
#include "foundation/vx_string.h"

#include <cstddef>
#include <vector>

// File names of the LUT search folders mapped to their full paths. Names are
// matched without regard to case; when a name occurs in several folders the
// earlier folder wins.
class LutFolderIndex {
public:
    // The index over the folders of "ColorTransforms.LUTPath1" and
    // "ColorTransforms.LUTPath2", built on first use and kept for the process.
    static const LutFolderIndex& Shared();

    // Lists each absolute folder (relative ones are skipped) without descending
    // into sub-folders, and replaces whatever the index held.
    void Build(const CVxString* folders, size_t count);
    bool Find(const CVxString& name, CVxString& fullPath) const;
    // Every indexed name, sorted without regard to case.
    const std::vector<CVxString>& Names() const { return m_names; }

private:
    NameTable<CVxString> m_paths;
    std::vector<CVxString> m_names;
};
