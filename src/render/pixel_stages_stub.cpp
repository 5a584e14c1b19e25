// Temporary stand-in until the CPU kernels land: pass-through stages only.
#include "render/pixel_stage.h"

#include "lut/lut.h"

namespace {

class PassThrough : public PixelStage {
public:
    bool IsIdentity() const override { return true; }
};

class ApplyLutStage : public PixelStage {
public:
    explicit ApplyLutStage(const LutTexture* texture) : m_texture(texture) {}
    void ProcessRow(const float* in, float* out, uint32_t width) const override {
        for (uint32_t x = 0; x < width; ++x, in += 4, out += 4) {
            float rgb[3] = {in[0], in[1], in[2]};
            const CVxLUT* lut = m_texture->threeD ? m_texture->threeD : m_texture->oneD;
            lut->Apply(rgb);
            out[0] = rgb[0];
            out[1] = rgb[1];
            out[2] = rgb[2];
            out[3] = in[3];
        }
    }

private:
    const LutTexture* m_texture;
};

std::unique_ptr<PixelStage> MakePassThrough(const PixelStageSetup&) {
    return std::make_unique<PassThrough>();
}

std::unique_ptr<PixelStage> MakeLutStage(const PixelStageSetup& setup) {
    if (!setup.textures[1])
        return std::make_unique<PassThrough>();
    return std::make_unique<ApplyLutStage>(setup.textures[1]);
}

} // namespace

LutTexture MakeLutTexture(const CVxLUT& lut) {
    LutTexture texture;
    texture.oneD = lut.m_is3D ? lut.m_preLUT : &lut;
    texture.threeD = lut.m_is3D ? &lut : nullptr;
    return texture;
}

PixelStageFactory FindPixelStage(const CVxString& shaderName) {
    if (shaderName.EqualsNoCase("VEXLAN.NoOp") || shaderName.EqualsNoCase("VEXLAN.BadTexture"))
        return MakePassThrough;
    if (shaderName.StartsWith("VEXLAN.LUT.", false))
        return MakeLutStage;
    return nullptr;
}
