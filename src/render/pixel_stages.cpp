#include "render/base_grading.h"
#include "render/lut_sampling.h"
#include "render/pixel_chunks.h"
#include "render/pixel_stage.h"

namespace {

// The LUT shaders read the LUT of texture unit 1, both of its parts.
constexpr uint32_t kLutUnit = 1;

class PassThroughStage final : public PixelStage {
public:
    bool IsIdentity() const override { return true; }
    const char* KernelName() const override { return "PassThrough"; }
};

// Maps the pixel colour into the LUT's domain and applies the wanted parts.
class LutStage final : public PixelStage {
public:
    LutStage(const LutTexture& texture, bool oneD, bool threeD)
        : m_texture(texture), m_oneD(oneD), m_threeD(threeD) {}

    const char* KernelName() const override {
        return m_oneD ? (m_threeD ? "LUT[1D,3D]" : "LUT[1D]") : "LUT[3D]";
    }

    void ProcessRow(const float* in, float* out, uint32_t width) const override {
        RgbPlanes planes;
        ForEachChunk(width, [&](uint32_t first, uint32_t count) {
            const float* from = in + size_t(first) * 4;
            LoadPlanes(from, count, planes);
            ApplyLutTexture(m_texture, m_oneD, m_threeD, planes, count);
            StorePlanes(planes, count, from, out + size_t(first) * 4);
        });
    }

private:
    const LutTexture& m_texture;
    bool m_oneD;
    bool m_threeD;
};

std::unique_ptr<PixelStage> CreatePassThrough(const PixelStageSetup&) {
    return std::make_unique<PassThroughStage>();
}

// A shader that applies the 1D part, the 3D part or both; a part the shader
// wants but the bound LUT lacks is left out, and with no part left (or no
// texture at all) pixels pass through unchanged.
template <bool kOneD, bool kThreeD>
std::unique_ptr<PixelStage> CreateLutStage(const PixelStageSetup& setup) {
    const LutTexture* texture = setup.textures[kLutUnit];
    const bool oneD = kOneD && texture != nullptr && texture->oneD != nullptr;
    const bool threeD = kThreeD && texture != nullptr && texture->threeD != nullptr;
    if (!oneD && !threeD)
        return std::make_unique<PassThroughStage>();
    return std::make_unique<LutStage>(*texture, oneD, threeD);
}

struct NamedStage {
    const char* name;
    PixelStageFactory factory;
};

const NamedStage kStages[] = {
    {"VEXLAN.Base.1", CreateBaseFirstPass},
    {"VEXLAN.Base.2", CreateBaseSecondPass},
    {"VEXLAN.NoOp", CreatePassThrough},
    {"VEXLAN.LUT.1D", CreateLutStage<true, false>},
    {"VEXLAN.LUT.3D", CreateLutStage<false, true>},
    {"VEXLAN.LUT.1D3D", CreateLutStage<true, true>},
    // Applies whatever the bound LUT holds, so one shader serves every kind of LUT.
    {"VEXLAN.LUT.Adaptive", CreateLutStage<true, true>},
    // A layer whose LUT file did not load; the engine fails such a render anyway.
    {"VEXLAN.BadTexture", CreatePassThrough},
    // A film-process emulation whose colour math is not known here; it is kept
    // neutral rather than guessed.
    {"fxTechnicolor(3strip)", CreatePassThrough},
};

} // namespace

PixelStageFactory FindPixelStage(const CVxString& shaderName) {
    for (const NamedStage& stage : kStages)
        if (shaderName.EqualsNoCase(stage.name))
            return stage.factory;
    return nullptr;
}
