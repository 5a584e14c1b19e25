#include "render/kernel_registry.h"

#include "render/base_first_pass.h"
#include "render/base_second_pass.h"
#include "render/lut_stages.h"

namespace {

struct NamedStage {
    const char* name;
    PixelStageFactory factory;
};

const NamedStage kStages[] = {
    {"VEXLAN.Base.1", CreateBaseFirstPass},
    {"VEXLAN.Base.2", CreateBaseSecondPass},
    {"VEXLAN.NoOp", CreatePassThrough},
    {"VEXLAN.LUT.1D", CreateLut1DStage},
    {"VEXLAN.LUT.3D", CreateLut3DStage},
    {"VEXLAN.LUT.1D3D", CreateLut1D3DStage},
    // Applies whatever the bound LUT holds, so one shader serves every kind of LUT.
    {"VEXLAN.LUT.Adaptive", CreateLut1D3DStage},
    // A layer whose LUT file did not load; the engine fails such a render anyway.
    {"VEXLAN.BadTexture", CreatePassThrough},
    // Shaders whose colour math is not known here (the film emulation
    // fxTechnicolor(3strip), say) have no kernel: a layer that runs one fails
    // its render as a shader that cannot be loaded, so that no render passes
    // its pixels through as if the shader did nothing.
};

} // namespace

PixelStageFactory FindPixelStage(const CVxString& shaderName) {
    for (const NamedStage& stage : kStages)
        if (shaderName.EqualsNoCase(stage.name))
            return stage.factory;
    return nullptr;
}
