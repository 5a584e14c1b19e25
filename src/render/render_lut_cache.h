#pragma once

#include "foundation/vx_string.h"
#include "lut/lut_files.h"

#include <memory>
#include <vector>

class CVxLUT;

// LUT files loaded during one render, each path once. A file that does not
// load, or loads without entries, is remembered as missing.
class RenderLutCache {
public:
    explicit RenderLutCache(const LutFiles& source) : m_source(source) {}

    // The path at which to open a LUT that a layer or a pipeline names (see
    // LutFolderIndex::Resolve); the folder of the look is tried last.
    CVxString Resolve(const CVxString& name, const CVxString& folder = CVxString()) const {
        return m_source.Resolve(name, folder, ELutNameOrder::eIndexFirst, m_lastFolder);
    }
    bool Exists(const CVxString& path) const { return FileExists(m_source.files, path); }
    // The LUT at this full path, loaded on first request; null when missing.
    const CVxLUT* Load(const CVxString& path);
    void Clear() { m_entries.clear(); }

    // Where a LUT name that none of the usual places holds is looked for last
    // (the folder of the look being rendered); empty for nowhere.
    void SetLastFolder(const CVxString& folder) { m_lastFolder = folder; }

private:
    struct Entry {
        CVxString path;
        std::unique_ptr<CVxLUT> lut; // null when the file did not load
    };
    const LutFiles& m_source;
    std::vector<Entry> m_entries;
    CVxString m_lastFolder;
};
