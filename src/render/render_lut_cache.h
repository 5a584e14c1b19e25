#pragma once

#include "foundation/vx_string.h"

#include <memory>
#include <vector>

class CVxLUT;

// LUT files loaded during one render, each path once. A file that does not
// load, or loads without entries, is remembered as missing.
class RenderLutCache {
public:
    // The LUT at this full path, loaded on first request; null when missing.
    const CVxLUT* Load(const CVxString& path);
    void Clear() { m_entries.clear(); }

    // Where a LUT name that none of the usual places holds is looked for last
    // (the folder of the look being rendered); empty for nowhere.
    void SetLastFolder(const CVxString& folder) { m_lastFolder = folder; }
    const CVxString& LastFolder() const { return m_lastFolder; }

private:
    struct Entry {
        CVxString path;
        std::unique_ptr<CVxLUT> lut; // null when the file did not load
    };
    std::vector<Entry> m_entries;
    CVxString m_lastFolder;
};
