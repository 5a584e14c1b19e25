#include "render/render_lut_cache.h"

#include "lut/lut.h"

const CVxLUT* RenderLutCache::Load(const CVxString& path) {
    for (const Entry& entry : m_entries)
        if (entry.path.Compare(path, CVxString::ePath) == 0)
            return entry.lut.get();
    auto lut = std::make_unique<CVxLUT>();
    // An empty table cannot be sampled; counting it as loaded would turn it
    // into an identity that then replaces the user's file.
    if (!lut->Load(m_source, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true) ||
        lut->IsEmpty())
        lut.reset();
    m_entries.push_back({path, std::move(lut)});
    return m_entries.back().lut.get();
}
