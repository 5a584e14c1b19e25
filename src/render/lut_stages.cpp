#include "render/lut_stages.h"

#include "render/lut_sampling.h"
#include "render/pixel_chunks.h"

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

std::unique_ptr<PixelStage> CreateLutStage(const PixelStageSetup& setup, bool wantOneD,
                                           bool wantThreeD) {
    const LutTexture* texture = setup.textures[kLutUnit];
    const bool oneD = wantOneD && texture != nullptr && texture->oneD != nullptr;
    const bool threeD = wantThreeD && texture != nullptr && texture->threeD != nullptr;
    if (!oneD && !threeD)
        return std::make_unique<PassThroughStage>();
    return std::make_unique<LutStage>(*texture, oneD, threeD);
}

} // namespace

std::unique_ptr<PixelStage> CreatePassThrough(const PixelStageSetup&) {
    return std::make_unique<PassThroughStage>();
}

std::unique_ptr<PixelStage> CreateLut1DStage(const PixelStageSetup& setup) {
    return CreateLutStage(setup, true, false);
}

std::unique_ptr<PixelStage> CreateLut3DStage(const PixelStageSetup& setup) {
    return CreateLutStage(setup, false, true);
}

std::unique_ptr<PixelStage> CreateLut1D3DStage(const PixelStageSetup& setup) {
    return CreateLutStage(setup, true, true);
}
