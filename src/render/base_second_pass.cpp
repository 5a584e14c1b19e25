#include "render/base_second_pass.h"

#include "render/base_pass_support.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

// Below this total weight the output division is meaningless; it can only be
// reached with invert amounts outside [0, 1], and the pixel then stays as it came.
constexpr float kSmallestWeight = 1e-6f;

// Planes of the rows around a chunk, edge pixels repeated outside the image:
// rows[dy][channel][i] holds the pixel at x = first - radius + i, y + dy - radius.
struct Neighbourhood {
    static constexpr uint32_t kRadius = 2;
    static constexpr uint32_t kWidth = kChunkPixels + 2 * kRadius;
    float rows[2 * kRadius + 1][3][kWidth];
};

uint32_t ClampIndex(int64_t index, uint32_t size) {
    if (index < 0)
        return 0;
    return index >= int64_t(size) ? size - 1 : uint32_t(index);
}

void Gather(const RgbaRows& source, uint32_t y, uint32_t first, uint32_t count, uint32_t radius,
            Neighbourhood& n) {
    for (uint32_t dy = 0; dy <= 2 * radius; ++dy) {
        const float* row = source.Row(ClampIndex(int64_t(y) + dy - radius, source.height));
        for (uint32_t i = 0; i < count + 2 * radius; ++i) {
            const float* pixel =
                row + size_t(ClampIndex(int64_t(first) + i - radius, source.width)) * 4;
            for (int c = 0; c < 3; ++c)
                n.rows[dy][c][i] = pixel[c];
        }
    }
}

struct Offset {
    int dx, dy;
};
constexpr Offset kDirect[5] = {{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
constexpr Offset kDiagonal[4] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
constexpr Offset kTwoAway[4] = {{-2, 0}, {2, 0}, {0, -2}, {0, 2}};
constexpr Offset kKnight[8] = {{-1, -2}, {1, -2}, {-1, 2}, {1, 2},
                               {-2, -1}, {2, -1}, {-2, 1}, {2, 1}};

// total[i] = the sum of channel c of the neighbours of chunk pixel i at the offsets.
template <size_t kCount>
void SumNeighbours(const Neighbourhood& n, uint32_t radius, int c, const Offset (&offsets)[kCount],
                   uint32_t count, float* total) {
    auto plane = [&](const Offset& o) {
        return n.rows[int(radius) + o.dy][c] + (int(radius) + o.dx);
    };
    const float* first = plane(offsets[0]);
    std::copy(first, first + count, total);
    for (size_t k = 1; k < kCount; ++k) {
        const float* next = plane(offsets[k]);
        for (uint32_t i = 0; i < count; ++i)
            total[i] = total[i] + next[i];
    }
}

// Weights 1 for the pixel and its four direct neighbours, 0.5 for the diagonals.
void Blur3x3(const Neighbourhood& n, uint32_t count, float* out[3]) {
    float direct[kChunkPixels], diagonal[kChunkPixels];
    for (int c = 0; c < 3; ++c) {
        SumNeighbours(n, 1, c, kDirect, count, direct);
        SumNeighbours(n, 1, c, kDiagonal, count, diagonal);
        for (uint32_t i = 0; i < count; ++i)
            out[c][i] = (direct[i] + 0.5f * diagonal[i]) * 0.1428571428f;
    }
}

// The pixel and its direct neighbours weigh 8.6666666666, the diagonals
// 5.3333333333, the pixels two steps along an axis 3.3333333333 and the eight
// knight's moves 1; the corners two steps away diagonally do not count.
void Blur5x5(const Neighbourhood& n, uint32_t count, float* out[3]) {
    float direct[kChunkPixels], diagonal[kChunkPixels], twoAway[kChunkPixels], knight[kChunkPixels];
    for (int c = 0; c < 3; ++c) {
        SumNeighbours(n, 2, c, kDirect, count, direct);
        SumNeighbours(n, 2, c, kDiagonal, count, diagonal);
        SumNeighbours(n, 2, c, kTwoAway, count, twoAway);
        SumNeighbours(n, 2, c, kKnight, count, knight);
        for (uint32_t i = 0; i < count; ++i) {
            const float total = 8.6666666666f * direct[i] + 5.3333333333f * diagonal[i] +
                                3.3333333333f * twoAway[i] + knight[i];
            out[c][i] = total * 0.0117647059f;
        }
    }
}

inline float Clamp01(float v) {
    v = v > 0.0f ? v : 0.0f;
    return v < 1.0f ? v : 1.0f;
}

// x - floor(x), bit for bit, in operations that vectorise: below 2^23 the
// truncation goes through an integer, above it every float is whole. The
// difference from the truncation is exact, so adding 1 for negative x rounds
// once, as the subtraction of the floor does.
inline float FractionalPart(float x) {
    const float whole = std::fabs(x) < 8388608.0f ? static_cast<float>(static_cast<int32_t>(x)) : x;
    const float fraction = x - whole;
    return fraction < 0.0f ? fraction + 1.0f : fraction;
}

// Hue (as a fraction of a turn), lightness and saturation of the key colours.
void HueLightnessSaturation(const RgbPlanes& k, float* hue, float* lightness, float* saturation,
                            uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const float r = k.r[i], g = k.g[i], b = k.b[i];
        const float qr = Clamp01(r), qg = Clamp01(g), qb = Clamp01(b);
        const float hi = Clamp01(std::max(std::max(r, g), b));
        const float lo = Clamp01(std::min(std::min(r, g), b));
        const float d = std::max(hi - lo, 1e-10f);
        const float s = hi + lo;
        const float l = s / 2.0f;
        lightness[i] = l;
        // Operands are selected rather than results, so that no arithmetic is
        // conditional and the loop vectorises.
        saturation[i] = d / (l > 0.5f ? 2.000001f - s : s);
        const bool greenTop = g >= hi;
        const bool redTop = r >= hi;
        const float minuend = greenTop ? b : (redTop ? g : r);
        const float subtrahend = greenTop ? qr : (redTop ? qb : qg);
        const float sextant = greenTop ? 1.0f / 3.0f : (redTop ? 0.0f : 2.0f / 3.0f);
        hue[i] = FractionalPart((minuend - subtrahend) / (6.0f * d) + sextant);
    }
}

class BaseSecondPass final : public PixelStage {
public:
    BaseSecondPass(const BaseGradingValues& values, const BaseGradingParts& parts, LookupRows rows)
        : m_values(values), m_parts(parts), m_rows(LookupRowsOrZero(rows)) {
        m_active[0] = parts.secondaries[0];
        m_active[1] = parts.secondaries[1];
        m_any = m_active[0] || m_active[1];
        m_blur = m_any && parts.blur;
        m_radius = parts.wideBlur ? 2 : 1;
        m_sameKey = !m_blur || (values.normBlur[0] == values.normBlur[3] &&
                                values.normBlur[1] == values.normBlur[4] &&
                                values.normBlur[2] == values.normBlur[5]);
        std::vector<const char*> names;
        if (m_blur)
            names.push_back(parts.wideBlur ? "Blur5x5" : "Blur3x3");
        if (m_active[0])
            names.push_back("Keys123");
        if (m_active[0] && parts.invert[0])
            names.push_back("Invert123");
        if (m_active[1])
            names.push_back("Keys456");
        if (m_active[1] && parts.invert[1])
            names.push_back("Invert456");
        if (m_any && parts.grayOut)
            names.push_back("GrayOut");
        m_name = VariantName("Base.2", names);
    }

    bool IsIdentity() const override { return !m_any; }
    bool ReadsNeighbours() const override { return m_blur; }
    const char* KernelName() const override { return m_name.c_str(); }

    void ProcessRow(const float* in, float* out, uint32_t width) const override {
        if (!m_any) {
            CopyPixels(in, out, width);
            return;
        }
        if (m_blur) {
            // Run on its own, the row is an image one pixel high. The engine
            // never gets here; a caller that does must not pass in == out for
            // rows wider than a chunk, since the blur reads across chunk edges.
            const RgbaRows single{in, width, 1, size_t(width) * 4};
            ProcessRowWithNeighbours(single, 0, out);
            return;
        }
        Scratch scratch;
        ForEachChunk(width, [&](uint32_t first, uint32_t count) {
            ProcessChunk(scratch, nullptr, 0, first, count, in + size_t(first) * 4,
                         out + size_t(first) * 4);
        });
    }

    void ProcessRowWithNeighbours(const RgbaRows& source, uint32_t y, float* out) const override {
        if (!m_blur) {
            ProcessRow(source.Row(y), out, source.width);
            return;
        }
        Scratch scratch;
        const float* in = source.Row(y);
        ForEachChunk(source.width, [&](uint32_t first, uint32_t count) {
            ProcessChunk(scratch, &source, y, first, count, in + size_t(first) * 4,
                         out + size_t(first) * 4);
        });
    }

private:
    struct Scratch {
        RgbPlanes p;
        RgbPlanes blurred;
        RgbPlanes key;
        RgbPlanes sum;
        float hue[kChunkPixels];
        float lightness[kChunkPixels];
        float saturation[kChunkPixels];
        float part[3][kChunkPixels];
        float y[kChunkPixels];
        float weight[kChunkPixels];
        float keys[6][kChunkPixels];
        Neighbourhood around;
    };

    void ProcessChunk(Scratch& s, const RgbaRows* source, uint32_t y, uint32_t first,
                      uint32_t count, const float* in, float* out) const {
        LoadPlanes(in, count, s.p);
        if (m_blur) {
            Gather(*source, y, first, count, m_radius, s.around);
            float* blurred[3] = {s.blurred.r, s.blurred.g, s.blurred.b};
            if (m_radius == 2)
                Blur5x5(s.around, count, blurred);
            else
                Blur3x3(s.around, count, blurred);
        }
        bool haveHls = false;
        for (int g = 0; g < 2; ++g) {
            if (!m_active[g])
                continue;
            if (!(haveHls && m_sameKey)) {
                const RgbPlanes& key = m_blur ? MixKey(g, s, count) : s.p;
                HueLightnessSaturation(key, s.hue, s.lightness, s.saturation, count);
                haveHls = true;
            }
            Keys(g, s, count);
        }
        Correct(s, count);
        StorePlanes(s.sum, count, in, out);
    }

    // k = p + normBlur * (b - p), per channel with the group's three factors.
    const RgbPlanes& MixKey(int group, Scratch& s, uint32_t count) const {
        const float* blur = m_values.normBlur + 3 * group;
        for (uint32_t i = 0; i < count; ++i) {
            s.key.r[i] = s.p.r[i] + blur[0] * (s.blurred.r[i] - s.p.r[i]);
            s.key.g[i] = s.p.g[i] + blur[1] * (s.blurred.g[i] - s.p.g[i]);
            s.key.b[i] = s.p.b[i] + blur[2] * (s.blurred.b[i] - s.p.b[i]);
        }
        return s.key;
    }

    // The key of each secondary of the group: hue, lightness and saturation
    // weights multiplied, then inverted by the group's invert amounts.
    void Keys(int group, Scratch& s, uint32_t count) const {
        const float* hueRow = m_rows + (3 * group + 1) * kFloatsPerLookupRow;
        const float* lightnessRow = hueRow + kFloatsPerLookupRow;
        const float* saturationRow = lightnessRow + kFloatsPerLookupRow;
        float* const keys[3] = {s.keys[3 * group], s.keys[3 * group + 1], s.keys[3 * group + 2]};
        float* const part[3] = {s.part[0], s.part[1], s.part[2]};
        SampleLookupRow(hueRow, s.hue, count, keys[0], keys[1], keys[2]);
        for (const float* row : {lightnessRow, saturationRow}) {
            SampleLookupRow(row, row == lightnessRow ? s.lightness : s.saturation, count, part[0],
                            part[1], part[2]);
            for (int channel = 0; channel < 3; ++channel)
                for (uint32_t i = 0; i < count; ++i)
                    keys[channel][i] = keys[channel][i] * part[channel][i];
        }
        if (!m_parts.invert[group])
            return;
        for (int channel = 0; channel < 3; ++channel) {
            const float invert = m_values.invert[3 * group + channel];
            float* key = keys[channel];
            for (uint32_t i = 0; i < count; ++i)
                key[i] = key[i] + invert * ((1.0f - key[i]) - key[i]);
        }
    }

    // The weighted corrections of the active secondaries, the remainder, and the output.
    void Correct(Scratch& s, uint32_t count) const {
        Luma(m_values.luminance, s.p, s.y, count);
        for (uint32_t i = 0; i < count; ++i) {
            s.sum.r[i] = 0.0f;
            s.sum.g[i] = 0.0f;
            s.sum.b[i] = 0.0f;
            s.weight[i] = 0.0f;
        }
        for (int n = 0; n < 6; ++n) {
            if (m_active[n / 3])
                AddSecondary(n, s, count);
        }
        for (uint32_t i = 0; i < count; ++i) {
            const float w = s.weight[i];
            const float rest = Clamp01(1.0f - w);
            const float baseR = m_parts.grayOut ? m_values.grayOutColor[0] : s.p.r[i];
            const float baseG = m_parts.grayOut ? m_values.grayOutColor[1] : s.p.g[i];
            const float baseB = m_parts.grayOut ? m_values.grayOutColor[2] : s.p.b[i];
            const float total = w + rest;
            const bool usable = std::fabs(total) >= kSmallestWeight;
            s.sum.r[i] = usable ? (s.sum.r[i] + rest * baseR) / total : s.p.r[i];
            s.sum.g[i] = usable ? (s.sum.g[i] + rest * baseG) / total : s.p.g[i];
            s.sum.b[i] = usable ? (s.sum.b[i] + rest * baseB) / total : s.p.b[i];
        }
    }

    void AddSecondary(int n, Scratch& s, uint32_t count) const {
        const float saturation = m_values.secondarySaturation[n];
        const float* gain = m_values.secondaryGain[n];
        const float* offset = m_values.secondaryOffset[n];
        const float* key = s.keys[n];
        for (uint32_t i = 0; i < count; ++i) {
            const float luma = s.y[i];
            const float e = key[i];
            const float r = (saturation * (s.p.r[i] - luma) + luma) * gain[0] + offset[0];
            const float g = (saturation * (s.p.g[i] - luma) + luma) * gain[1] + offset[1];
            const float b = (saturation * (s.p.b[i] - luma) + luma) * gain[2] + offset[2];
            s.sum.r[i] = s.sum.r[i] + e * r;
            s.sum.g[i] = s.sum.g[i] + e * g;
            s.sum.b[i] = s.sum.b[i] + e * b;
            s.weight[i] = s.weight[i] + e;
        }
    }

    BaseGradingValues m_values;
    BaseGradingParts m_parts;
    const float* m_rows; // the whole lookup table, row 0 first
    bool m_active[2] = {};
    bool m_any = false;
    bool m_blur = false;
    bool m_sameKey = true;
    uint32_t m_radius = 1;
    std::string m_name;
};

} // namespace

std::unique_ptr<PixelStage> MakeBaseSecondPass(const BaseGradingValues& values,
                                               const BaseGradingParts& parts, LookupRows rows) {
    return std::make_unique<BaseSecondPass>(values, parts, rows);
}

std::unique_ptr<PixelStage> CreateBaseSecondPass(const PixelStageSetup& setup) {
    return MakeBaseSecondPass(ReadBaseGradingValues(setup.script),
                              FindBaseGradingParts(setup.script), setup.lookups[kLookupTableUnit]);
}
