#include "render/render_context.h"

template <typename T>
T* CVxRenderContext::FindNamed(const std::vector<Named<T>>& list, const CVxString& name) {
    for (const Named<T>& entry : list)
        if (entry.name.Compare(name, CVxString::ECompareMode::eCaseInsensitive) == 0)
            return entry.item;
    return nullptr;
}

void CVxRenderContext::AddSource(const CVxString& name, RenderImage* image) {
    m_sources.push_back({name, image});
}

void CVxRenderContext::AddObject(const CVxString& name, const CVxGradingParamStorage* grading) {
    m_objects.push_back({name, grading});
}

void CVxRenderContext::AddMask(const CVxString& name, RenderImage* mask) {
    m_masks.push_back({name, mask});
}

void CVxRenderContext::AddTransform(const CVxString& name, const RenderTransform* transform) {
    m_transforms.push_back({name, transform});
}

RenderImage* CVxRenderContext::FindSource(const CVxString& name) const {
    return FindNamed(m_sources, name);
}

const CVxGradingParamStorage* CVxRenderContext::FindObject(const CVxString& name) const {
    return FindNamed(m_objects, name);
}

RenderImage* CVxRenderContext::FindMask(const CVxString& token) const {
    return FindNamed(m_masks, token);
}

const RenderTransform* CVxRenderContext::FindTransform(const CVxString& token) const {
    return FindNamed(m_transforms, token);
}
