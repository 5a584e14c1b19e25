#include "render/rebuilt_look.h"

#include "render/compositing_engine.h"

bool WriteRebuiltLook(const CVxGradingParamStorage& grading, CVxString& out,
                      const CVxShapeMask* mask, uint32_t size3D, uint32_t size1D) {
    (void)out;
    (void)mask;
    (void)size1D;
    CVxSoftwareCompositingEngine engine;
    float* lattice = engine.RenderLookToLut(grading, 1, size3D, nullptr, 0, CVxString());
    ReleaseRenderedLut(lattice);
    return false;
}
