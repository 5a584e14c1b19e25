#include "render/lut_sampling.h"

namespace {

inline float Lerp(float a, float b, float f) {
    return (b - a) * f + a;
}

// One texture axis of `size` texels: the cell index and the fraction within it.
class TexelAxis {
public:
    explicit TexelAxis(uint32_t size)
        : m_texels(static_cast<float>(size)), m_last(static_cast<float>(size - 1)),
          m_lastCell(size >= 2 ? size - 2 : 0) {}

    void Locate(float u, uint32_t& index, float& fraction) const {
        float t = u * m_texels - 0.5f;
        t = t > 0.0f ? t : 0.0f; // also maps NaN to the first texel
        t = t < m_last ? t : m_last;
        uint32_t cell = static_cast<uint32_t>(t); // t is not negative: truncation is floor
        cell = cell < m_lastCell ? cell : m_lastCell;
        index = cell;
        fraction = t - static_cast<float>(cell);
    }

private:
    float m_texels;
    float m_last;
    uint32_t m_lastCell;
};

// Floats from an entry to its neighbour along an axis; 0 for a single texel,
// whose only cell has both ends on it.
inline size_t NeighbourStep(uint32_t size, size_t stride) {
    return size >= 2 ? stride : 0;
}

// The column blended at each texture coordinate, in place; `next` is the step
// to the following entry.
void SampleColumn(const float* column, size_t next, const TexelAxis& axis, float* values,
                  uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index;
        float fraction;
        axis.Locate(values[i], index, fraction);
        const float* entry = column + size_t(index) * 4;
        values[i] = Lerp(entry[0], entry[next], fraction);
    }
}

// The lookup coordinate of x, as the fixed affine map onto entry centres.
inline float LookupCoordinate(float x) {
    return x * 0.9990234375f + 0.00048828125f;
}

} // namespace

LutTexture MakeLutTexture(const CVxLUT& lut) {
    LutTexture texture;
    const CVxLUT* pre =
        lut.m_preLUT != nullptr && lut.m_preLUT->m_size != 0 ? lut.m_preLUT : nullptr;
    if (lut.m_size != 0) {
        texture.threeD = lut.m_is3D ? &lut : nullptr;
        texture.oneD = pre != nullptr ? pre : (lut.m_is3D ? nullptr : &lut);
    }
    const CVxLUT& domain = pre != nullptr ? *pre : lut;
    for (int c = 0; c < 3; ++c) {
        texture.scale[c] = domain.m_texScale[c];
        texture.offset[c] = domain.m_texOffset[c];
    }
    texture.scale[3] = 1.0f;
    texture.offset[3] = 0.0f;
    return texture;
}

void MapLutDomain(const LutTexture& texture, RgbPlanes& planes, uint32_t count) {
    const float* scale = texture.scale;
    const float* offset = texture.offset;
    for (uint32_t i = 0; i < count; ++i) {
        planes.r[i] = planes.r[i] * scale[0] + offset[0];
        planes.g[i] = planes.g[i] * scale[1] + offset[1];
        planes.b[i] = planes.b[i] * scale[2] + offset[2];
    }
}

void SampleOneD(const CVxLUT& table, RgbPlanes& planes, uint32_t count) {
    const TexelAxis axis(table.m_size);
    const size_t next = NeighbourStep(table.m_size, 4);
    float* const channels[3] = {planes.r, planes.g, planes.b};
    for (int c = 0; c < 3; ++c)
        SampleColumn(table.m_data + c, next, axis, channels[c], count);
}

void SampleThreeD(const CVxLUT& lattice, RgbPlanes& planes, uint32_t count) {
    const TexelAxis axis(lattice.m_size);
    const size_t red = NeighbourStep(lattice.m_size, 4);
    const size_t green = NeighbourStep(lattice.m_size, lattice.m_greenStride);
    const size_t blue = NeighbourStep(lattice.m_size, lattice.m_blueStride);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t ir, ig, ib;
        float fr, fg, fb;
        axis.Locate(planes.r[i], ir, fr);
        axis.Locate(planes.g[i], ig, fg);
        axis.Locate(planes.b[i], ib, fb);
        const float* c000 = lattice.m_data + size_t(ir) * 4 + size_t(ig) * lattice.m_greenStride +
                            size_t(ib) * lattice.m_blueStride;
        const float* c100 = c000 + red;
        const float* c010 = c000 + green;
        const float* c110 = c010 + red;
        // Four lanes (alpha included) so that the blends can run as one vector operation.
        float out[4];
        for (int c = 0; c < 4; ++c) {
            const float r0g0 = Lerp(c000[c], c000[blue + c], fb);
            const float r1g0 = Lerp(c100[c], c100[blue + c], fb);
            const float r0g1 = Lerp(c010[c], c010[blue + c], fb);
            const float r1g1 = Lerp(c110[c], c110[blue + c], fb);
            const float g0 = Lerp(r0g0, r1g0, fr);
            const float g1 = Lerp(r0g1, r1g1, fr);
            out[c] = Lerp(g0, g1, fg);
        }
        planes.r[i] = out[0];
        planes.g[i] = out[1];
        planes.b[i] = out[2];
    }
}

void ApplyLutTexture(const LutTexture& texture, bool oneD, bool threeD, RgbPlanes& planes,
                     uint32_t count) {
    MapLutDomain(texture, planes, count);
    if (oneD && texture.oneD != nullptr)
        SampleOneD(*texture.oneD, planes, count);
    if (threeD && texture.threeD != nullptr)
        SampleThreeD(*texture.threeD, planes, count);
}

void SampleLookupRow(const float* row, const float* x, uint32_t count, float* red, float* green,
                     float* blue) {
    const TexelAxis axis(kLookupEntries);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index;
        float fraction;
        axis.Locate(LookupCoordinate(x[i]), index, fraction);
        const float* entry = row + size_t(index) * 4;
        red[i] = Lerp(entry[0], entry[4], fraction);
        green[i] = Lerp(entry[1], entry[5], fraction);
        blue[i] = Lerp(entry[2], entry[6], fraction);
    }
}
