#include "render/rebuilt_look.h"

#include "look/grading_params.h"
#include "look/look_writer.h"
#include "render/compositing_engine.h"

#include <memory>

namespace {

struct RenderedLutReleaser {
    void operator()(float* buffer) const { ReleaseRenderedLut(buffer); }
};
using RenderedLut = std::unique_ptr<float, RenderedLutReleaser>;

} // namespace

bool WriteRebuiltLook(const CVxGradingParamStorage& grading, CVxString& out,
                      const CVxShapeMask* mask, uint32_t size3D, uint32_t size1D) {
    CVxSoftwareCompositingEngine engine;
    RenderedLut lattice;
    if (size3D != 0) {
        lattice.reset(engine.RenderLookToLut(grading, 1, size3D, nullptr, 0, CVxString()));
        if (!lattice)
            return false;
    }
    // A ramp that does not render only leaves the 1D LUT out.
    RenderedLut ramp;
    if (size1D != 0 && grading.IsPerChannelOnly(false))
        ramp.reset(engine.RenderLookToLut(grading, 0, size1D, nullptr, 0, CVxString()));
    return WriteLookDocument(out, grading, mask, lattice.get(), size3D, ramp.get(),
                             ramp ? size1D : 0);
}
