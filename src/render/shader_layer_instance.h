#pragma once

#include "foundation/vx_string.h"
#include "render/pixel_stage.h"
#include "render/render_lut_cache.h"
#include "render/shader_definition.h"
#include "render/shader_registry.h"

#include <cstdint>
#include <memory>
#include <vector>

class CVxShaderParamStorage;

// One shader layer of a grading, set up once per render: its definition, its
// parameters bound into the definition's script, the script run, the lookup
// rows filled, its LUT textures loaded and its passes ready to run.
class CVxShaderLayerInstance {
public:
    // Throws ERenderError eShaderNotFound when the layer's shader has no
    // definition or no kernel. A texture that does not load sets lutMissing and
    // turns the layer into VEXLAN.BadTexture without a second pass.
    CVxShaderLayerInstance(const CVxShaderParamStorage& layer, const CVxShaderRegistry& registry,
                           RenderLutCache& luts, uint32_t& lutMissing);
    CVxShaderLayerInstance(const CVxShaderLayerInstance&) = delete;
    CVxShaderLayerInstance& operator=(const CVxShaderLayerInstance&) = delete;

    // The shader the layer runs: its own, or VEXLAN.BadTexture.
    const CVxString& ShaderName() const { return m_shaderName; }
    const ShaderDefinition& Definition() const { return m_definition; }
    void AppendStages(std::vector<const PixelStage*>& stages) const;

private:
    void BindParameters(const CVxShaderParamStorage& layer);
    bool LoadTextures(const CVxShaderParamStorage& layer, const CVxString& packageFolder,
                      RenderLutCache& luts);
    bool LoadTexture(const CVxShaderParamStorage& layer, const CVxString& name, uint32_t unit,
                     const CVxString& packageFolder, RenderLutCache& luts);
    CVxString KernelName(const ShaderSource& source) const;
    PixelStageSetup StageSetup() const;
    std::unique_ptr<PixelStage> CreateStage(const CVxString& kernelName) const;

    CVxString m_shaderName;
    ShaderDefinition m_definition;
    LutTexture m_textures[kTextureUnits];
    bool m_textureBound[kTextureUnits] = {};
    std::unique_ptr<PixelStage> m_firstPass;
    std::unique_ptr<PixelStage> m_secondPass;
};
