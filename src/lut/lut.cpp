#include "lut/lut.h"

#include "lut/lut_interpolation.h"
#include "platform/large_buffer.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kMax3DSize = 256;
constexpr uint32_t kMaxSize = 65536;

} // namespace

CVxLUT::CVxLUT() = default;

CVxLUT::~CVxLUT() {
    Clear();
    DeletePreLUT();
}

void CVxLUT::DeletePreLUT() {
    delete m_preLUT;
    m_preLUT = nullptr;
}

size_t CVxLUT::FloatCount() const {
    if (m_size == 0)
        return 0;
    const size_t size = m_size;
    return (m_is3D ? size * size * size : size) * 4;
}

bool CVxLUT::Create(uint32_t size, bool is3D) {
    if (is3D && size > kMax3DSize)
        return false;
    if (size > kMaxSize)
        return false;
    if (m_size == size && m_is3D == is3D)
        return true;
    Clear();
    const size_t entries = is3D ? size_t(size) * size * size + 1 : size_t(size) + 1;
    // A lattice is filled from end to end once, by a reader or a render: large
    // pages make that first touch cheap.
    m_storage = static_cast<uint8_t*>(platform::NewLargeBlock(entries * 16));
    if (!m_storage)
        return false;
    m_storageBytes = entries * 16;
    const uintptr_t start = reinterpret_cast<uintptr_t>(m_storage);
    m_data = reinterpret_cast<float*>(m_storage + ((16 - (start & 15)) & 15));
    m_size = size;
    m_is3D = is3D;
    m_greenStride = is3D ? size * 4 : 0;
    m_blueStride = is3D ? size * size * 4 : 0;
    SetDomainUniform(0.0f, 1.0f);
    return true;
}

void CVxLUT::Clear() {
    platform::DeleteLargeBlock(m_storage, m_storageBytes);
    m_storage = nullptr;
    m_storageBytes = 0;
    m_data = nullptr;
    m_size = 0;
    m_is3D = false;
}

void CVxLUT::SetDomain(const float min[4], const float max[4]) {
    for (int c = 0; c < 4; ++c) {
        m_domainMin[c] = min[c];
        m_domainMax[c] = max[c];
    }
    const float steps = static_cast<float>(static_cast<int64_t>(m_size) - 1);
    for (int c = 0; c < 3; ++c) {
        const float range = m_domainMax[c] - m_domainMin[c];
        m_lookupScale[c] = std::fabs(range) > 0.0001 ? steps / range : steps * 10000.0f;
    }
    // Both factors are evaluated in double precision and rounded once when stored;
    // the offset uses the stored scale.
    const double texels = m_size;
    for (int c = 0; c < 4; ++c) {
        const double range = static_cast<double>(m_domainMax[c]) - m_domainMin[c];
        m_texScale[c] = static_cast<float>((1.0 - 1.0 / texels) / range);
        m_texOffset[c] =
            static_cast<float>(0.5 / texels - static_cast<double>(m_texScale[c]) * m_domainMin[c]);
    }
}

void CVxLUT::SetDomainUniform(float min, float max) {
    const float low[4] = {min, min, min, min};
    const float high[4] = {max, max, max, max};
    SetDomain(low, high);
}

void CVxLUT::Apply(float rgb[3]) const {
    if (m_preLUT)
        m_preLUT->Apply(rgb);
    if (m_size == 0 || !m_data)
        return;
    if (m_size == 1) {
        // A single entry has no cell to interpolate in: it is the output for every input.
        for (int c = 0; c < 3; ++c)
            rgb[c] = m_data[c];
        return;
    }
    uint32_t index[3];
    float fraction[3];
    for (int c = 0; c < 3; ++c) {
        // One rounding to float for the whole expression, as for the interpolation steps.
        const float t =
            static_cast<float>((static_cast<double>(rgb[c]) - m_domainMin[c]) * m_lookupScale[c]);
        LocateCell(t, m_size, index[c], fraction[c]);
    }
    if (!m_is3D) {
        for (int c = 0; c < 3; ++c) {
            const float* entry = m_data + size_t(index[c]) * 4;
            rgb[c] = LerpFloat(entry[c], entry[4 + c], fraction[c]);
        }
        return;
    }
    const size_t red = size_t(index[0]) * 4;
    const size_t green = size_t(index[1]) * m_greenStride;
    const size_t blue = size_t(index[2]) * m_blueStride;
    const float* c000 = m_data + red + green + blue;
    const float* c100 = c000 + 4;
    const float* c010 = c000 + m_greenStride;
    const float* c110 = c010 + 4;
    const size_t up = m_blueStride;
    for (int c = 0; c < 3; ++c) {
        const float r0g0 = LerpFloat(c000[c], c000[up + c], fraction[2]);
        const float r1g0 = LerpFloat(c100[c], c100[up + c], fraction[2]);
        const float r0g1 = LerpFloat(c010[c], c010[up + c], fraction[2]);
        const float r1g1 = LerpFloat(c110[c], c110[up + c], fraction[2]);
        const float g0 = LerpFloat(r0g0, r1g0, fraction[0]);
        const float g1 = LerpFloat(r0g1, r1g1, fraction[0]);
        rgb[c] = LerpFloat(g0, g1, fraction[1]);
    }
}

bool CVxLUT::HasUnitDomain() const {
    for (int c = 0; c < 3; ++c)
        if (m_domainMin[c] != 0.0f || m_domainMax[c] != 1.0f)
            return false;
    return true;
}

bool CVxLUT::UpsampleToPowerOfTwo(uint32_t maxSize) {
    if (IsPowerOfTwo(m_size))
        return true;
    return Resample(UpsampledSize(m_size, maxSize));
}

uint32_t UpsampledSize(uint32_t size, uint32_t maxSize) {
    if (IsPowerOfTwo(size))
        return size;
    uint64_t target = 1;
    while (target <= size)
        target <<= 1;
    return target < maxSize ? static_cast<uint32_t>(target) : maxSize;
}

bool IsPowerOfTwo(uint32_t value) {
    while (value > 1 && (value & 1) == 0)
        value >>= 1;
    return value <= 1;
}

void ExpandRgbToRgba(float* data, size_t count, float alpha) {
    // Backward, so that no packed triple is overwritten before it is moved.
    for (size_t i = count; i-- > 0;) {
        const float r = data[i * 3];
        const float g = data[i * 3 + 1];
        const float b = data[i * 3 + 2];
        data[i * 4] = r;
        data[i * 4 + 1] = g;
        data[i * 4 + 2] = b;
        data[i * 4 + 3] = alpha;
    }
}
