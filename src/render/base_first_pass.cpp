#include "render/base_first_pass.h"

#include "render/base_pass_support.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kMatrixLutUnit = 6;
constexpr uint32_t kBaseLutUnit = 3;

bool HasParts(const LutTexture* texture) {
    return texture != nullptr && (texture->oneD != nullptr || texture->threeD != nullptr);
}

// v = (saturation * (c - Y) + Y) * gain + offset, per channel; v may be c.
void Grade(float saturation, const float gain[3], const float offset[3], const RgbPlanes& c,
           const float* y, RgbPlanes& v, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const float luma = y[i];
        v.r[i] = (saturation * (c.r[i] - luma) + luma) * gain[0] + offset[0];
        v.g[i] = (saturation * (c.g[i] - luma) + luma) * gain[1] + offset[1];
        v.b[i] = (saturation * (c.b[i] - luma) + luma) * gain[2] + offset[2];
    }
}

// Powers already taken on this thread, found by the bits of base and exponent.
// A lattice repeats each coordinate along two axes, and where nothing mixes the
// channels before a gamma (saturation 1, no matrix) a graded channel depends on
// the others only through rounding, so a render raises the same few thousand
// values again and again: a power found here is the one std::pow gave for
// them, bit for bit, at a fraction of its cost. Where the channels mix, the
// values hardly repeat and the powers are taken directly. Rows share nothing
// through it but results, so the stage stays free of state.
class PowerMemo {
public:
    float Power(float base, float exponent) {
        const uint32_t baseBits = std::bit_cast<uint32_t>(base);
        const uint32_t exponentBits = std::bit_cast<uint32_t>(exponent);
        Entry& entry = m_entries[Slot(baseBits, exponentBits)];
        if (entry.base != baseBits || entry.exponent != exponentBits)
            entry = {baseBits, exponentBits, std::pow(base, exponent)};
        return entry.power;
    }

private:
    static constexpr uint32_t kSlotBits = 11;

    // An unused entry holds 0 to the power 0, which is 1.
    struct Entry {
        uint32_t base = 0;
        uint32_t exponent = 0;
        float power = 1.0f;
    };

    static uint32_t Slot(uint32_t base, uint32_t exponent) {
        return ((base ^ exponent * 0x85EBCA6Bu) * 0x9E3779B1u) >> (32 - kSlotBits);
    }

    std::array<Entry, size_t(1) << kSlotBits> m_entries{};
};

thread_local PowerMemo t_powers;

// max(v, 0) raised to the exponent; the power itself is skipped where it is 1,
// which gives the same bits at a fraction of the cost.
void RaiseToPower(float* values, float exponent, bool valuesRepeat, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        values[i] = values[i] > 0.0f ? values[i] : 0.0f;
    if (exponent == 1.0f)
        return;
    if (!valuesRepeat) {
        for (uint32_t i = 0; i < count; ++i)
            values[i] = std::pow(values[i], exponent);
        return;
    }
    PowerMemo& powers = t_powers;
    for (uint32_t i = 0; i < count; ++i)
        values[i] = powers.Power(values[i], exponent);
}

void ApplyGamma(const float gamma[3], bool valuesRepeat, RgbPlanes& v, uint32_t count) {
    RaiseToPower(v.r, gamma[0], valuesRepeat, count);
    RaiseToPower(v.g, gamma[1], valuesRepeat, count);
    RaiseToPower(v.b, gamma[2], valuesRepeat, count);
}

class BaseFirstPass final : public PixelStage {
public:
    BaseFirstPass(const BaseGradingValues& values, const BaseGradingParts& parts,
                  const LutTexture* matrixLut, const LutTexture* baseLut, LookupRows rows)
        : m_values(values), m_parts(parts), m_matrixLut(matrixLut), m_baseLut(baseLut),
          m_weights(LookupRowsOrZero(rows)) {
        std::vector<const char*> names;
        auto add = [&](Step step, const char* name) {
            m_steps.push_back(step);
            names.push_back(name);
        };
        if (HasParts(matrixLut))
            add(&BaseFirstPass::MatrixLutStep, "MatrixLUT");
        if (parts.matrix)
            add(&BaseFirstPass::MatrixStep, "Matrix");
        if (HasParts(baseLut))
            add(&BaseFirstPass::BaseLutStep, "BaseLUT");
        int gammaRanges = 0;
        if (parts.tonalSplit) {
            add(&BaseFirstPass::TonalSplitStep, "TonalSplit");
            gammaRanges = 3;
        } else if (parts.singleRange || parts.gamma[0]) {
            // A gamma other than 1 makes the range active even when the rest is an identity.
            add(&BaseFirstPass::SingleRangeStep, "SingleRange");
            gammaRanges = 1;
        }
        const char* const gammaNames[3] = {"GammaLow", "GammaMid", "GammaHigh"};
        for (int k = 0; k < gammaRanges; ++k)
            if (parts.gamma[k])
                names.push_back(gammaNames[k]);
        m_name = VariantName("Base.1", names);
    }

    bool IsIdentity() const override { return m_steps.empty(); }
    const char* KernelName() const override { return m_name.c_str(); }

    void ProcessRow(const float* in, float* out, uint32_t width) const override {
        ProcessPixels<4>(in, out, width);
    }
    bool ProcessesRgbRows() const override { return true; }
    void ProcessRgbRow(const float* in, float* out, uint32_t width) const override {
        ProcessPixels<3>(in, out, width);
    }

private:
    struct Scratch {
        RgbPlanes c;
        RgbPlanes v;
        RgbPlanes sum;
        float y[kChunkPixels];
        float w[3][kChunkPixels];
    };
    using Step = void (BaseFirstPass::*)(Scratch&, uint32_t) const;

    // The steps never read alpha, so RGB pixels (kChannels 3) and RGBA pixels
    // go through the same ones.
    template <uint32_t kChannels>
    void ProcessPixels(const float* in, float* out, uint32_t width) const {
        if (m_steps.empty()) {
            if (in != out)
                std::copy(in, in + size_t(width) * kChannels, out);
            return;
        }
        Scratch scratch;
        ForEachChunk(width, [&](uint32_t first, uint32_t count) {
            const float* from = in + size_t(first) * kChannels;
            LoadPlanes<kChannels>(from, count, scratch.c);
            for (Step step : m_steps)
                (this->*step)(scratch, count);
            StorePlanes<kChannels>(scratch.c, count, from, out + size_t(first) * kChannels);
        });
    }

    void MatrixLutStep(Scratch& s, uint32_t count) const {
        ApplyLutTexture(*m_matrixLut, true, true, s.c, count);
    }

    void BaseLutStep(Scratch& s, uint32_t count) const {
        ApplyLutTexture(*m_baseLut, true, true, s.c, count);
    }

    void MatrixStep(Scratch& s, uint32_t count) const {
        const float(&m)[3][4] = m_values.matrix;
        for (uint32_t i = 0; i < count; ++i) {
            const float r = s.c.r[i], g = s.c.g[i], b = s.c.b[i];
            s.c.r[i] = r * m[0][0] + g * m[0][1] + b * m[0][2] + m[0][3];
            s.c.g[i] = r * m[1][0] + g * m[1][1] + b * m[1][2] + m[1][3];
            s.c.b[i] = r * m[2][0] + g * m[2][1] + b * m[2][2] + m[2][3];
        }
    }

    // True when nothing before range k's gamma mixes the channels.
    bool RangeKeepsChannelsApart(int k) const {
        return m_values.saturationLMH[k] == 1.0f && !m_parts.matrix && !HasParts(m_matrixLut) &&
               !HasParts(m_baseLut);
    }

    // Range k graded into s.v, with its gamma when that is active.
    void GradeRange(int k, Scratch& s, uint32_t count) const {
        Grade(m_values.saturationLMH[k], m_values.gain[k], m_values.offset[k], s.c, s.y, s.v,
              count);
        if (m_parts.gamma[k])
            ApplyGamma(m_values.gamma[k], RangeKeepsChannelsApart(k), s.v, count);
    }

    void TonalSplitStep(Scratch& s, uint32_t count) const {
        Luma(m_values.luminance, s.c, s.y, count);
        SampleLookupRow(m_weights, s.y, count, s.w[0], s.w[1], s.w[2]);
        GradeRange(0, s, count);
        for (uint32_t i = 0; i < count; ++i) {
            const float w = s.w[0][i];
            s.sum.r[i] = w * s.v.r[i];
            s.sum.g[i] = w * s.v.g[i];
            s.sum.b[i] = w * s.v.b[i];
        }
        for (int k = 1; k < 3; ++k) {
            GradeRange(k, s, count);
            const float* weight = s.w[k];
            for (uint32_t i = 0; i < count; ++i) {
                s.sum.r[i] = s.sum.r[i] + weight[i] * s.v.r[i];
                s.sum.g[i] = s.sum.g[i] + weight[i] * s.v.g[i];
                s.sum.b[i] = s.sum.b[i] + weight[i] * s.v.b[i];
            }
        }
        s.c = s.sum;
    }

    void SingleRangeStep(Scratch& s, uint32_t count) const {
        Luma(m_values.luminance, s.c, s.y, count);
        Grade(m_values.saturationLMH[0], m_values.gain[0], m_values.offset[0], s.c, s.y, s.c,
              count);
        if (m_parts.gamma[0])
            ApplyGamma(m_values.gamma[0], RangeKeepsChannelsApart(0), s.c, count);
    }

    BaseGradingValues m_values;
    BaseGradingParts m_parts;
    const LutTexture* m_matrixLut;
    const LutTexture* m_baseLut;
    const float* m_weights; // row 0 of the lookup table
    std::vector<Step> m_steps;
    std::string m_name;
};

} // namespace

std::unique_ptr<PixelStage> MakeBaseFirstPass(const BaseGradingValues& values,
                                              const BaseGradingParts& parts,
                                              const LutTexture* matrixLut,
                                              const LutTexture* baseLut, LookupRows rows) {
    return std::make_unique<BaseFirstPass>(values, parts, matrixLut, baseLut, rows);
}

std::unique_ptr<PixelStage> CreateBaseFirstPass(const PixelStageSetup& setup) {
    return MakeBaseFirstPass(ReadBaseGradingValues(setup.script),
                             FindBaseGradingParts(setup.script), setup.textures[kMatrixLutUnit],
                             setup.textures[kBaseLutUnit], setup.lookups[kLookupTableUnit]);
}
