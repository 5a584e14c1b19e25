#include "render/rebuilt_look.h"

#include "look/grading_params.h"
#include "look/look_writer.h"
#include "render/compositing_engine.h"

void RebuiltLook::Releaser::operator()(float* buffer) const {
    ReleaseRenderedLut(buffer);
}

RebuiltLook::RebuiltLook() = default;
RebuiltLook::~RebuiltLook() = default;

bool RebuiltLook::Render(const CVxGradingParamStorage& grading, const CVxShapeMask* mask,
                         uint32_t size3D, uint32_t size1D) {
    m_lattice.reset();
    m_ramp.reset();
    m_size3D = m_size1D = 0;
    if (!CanWriteLookDocument(grading, mask))
        return false;
    CVxSoftwareCompositingEngine engine;
    if (size3D != 0) {
        m_lattice.reset(engine.RenderLookToLut(grading, 1, size3D, nullptr, 0, CVxString()));
        if (!m_lattice)
            return false;
        m_size3D = size3D;
    }
    if (size1D != 0 && grading.IsPerChannelOnly(false)) {
        m_ramp.reset(engine.RenderLookToLut(grading, 0, size1D, nullptr, 0, CVxString()));
        m_size1D = m_ramp ? size1D : 0;
    }
    return true;
}

bool RebuiltLook::Write(ByteSink& out, const CVxGradingParamStorage& grading,
                        const CVxShapeMask* mask) const {
    return WriteLookDocument(out, grading, mask, m_lattice.get(), m_size3D, m_ramp.get(), m_size1D);
}

bool WriteRebuiltLook(const CVxGradingParamStorage& grading, CVxString& out,
                      const CVxShapeMask* mask, uint32_t size3D, uint32_t size1D) {
    RebuiltLook rebuilt;
    return rebuilt.Render(grading, mask, size3D, size1D) &&
           WriteLookDocument(out, grading, mask, rebuilt.m_lattice.get(), rebuilt.m_size3D,
                             rebuilt.m_ramp.get(), rebuilt.m_size1D);
}
