#pragma once

#include "foundation/vx_string.h"

#include <vector>

class CVxGradingParamStorage;
class RenderImage;

// A geometric transform handed to "*xform" and "*panscan": output pixel
// (x, y) reads the source at (m[0]x + m[1]y + m[2], m[3]x + m[4]y + m[5]).
struct RenderTransform {
    double m[6] = {1, 0, 0, 0, 1, 0};
};

// The named inputs of a render: images (sources and masks), gradings and
// transforms that a pipeline refers to. Names are matched without regard to
// case; lookups give null for a name nobody registered. The context does not
// own what it holds.
class CVxRenderContext {
public:
    virtual ~CVxRenderContext() = default;

    void AddSource(const CVxString& name, RenderImage* image);
    void AddObject(const CVxString& name, const CVxGradingParamStorage* grading);
    void AddMask(const CVxString& name, RenderImage* mask);
    void AddTransform(const CVxString& name, const RenderTransform* transform);

    virtual RenderImage* FindSource(const CVxString& name) const;
    virtual const CVxGradingParamStorage* FindObject(const CVxString& name) const;
    // The mask for a "*mask" token (looked up by the whole token).
    virtual RenderImage* FindMask(const CVxString& token) const;
    // The transform for a "*xform" or "*panscan" token (looked up by the whole token).
    virtual const RenderTransform* FindTransform(const CVxString& token) const;

private:
    template <typename T> struct Named {
        CVxString name;
        T* item;
    };
    template <typename T>
    static T* FindNamed(const std::vector<Named<T>>& list, const CVxString& name);

    std::vector<Named<RenderImage>> m_sources;
    std::vector<Named<const CVxGradingParamStorage>> m_objects;
    std::vector<Named<RenderImage>> m_masks;
    std::vector<Named<const RenderTransform>> m_transforms;
};
