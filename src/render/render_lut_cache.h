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

private:
    struct Entry {
        CVxString path;
        std::unique_ptr<CVxLUT> lut; // null when the file did not load
    };
    std::vector<Entry> m_entries;
};
