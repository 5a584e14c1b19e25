#pragma once

#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>

// The one in-memory LUT: a 1D table or a 3D lattice of RGBA float entries
// (red fastest, A always 1), its domain, derived lookup factors and an
// optional 1D pre-LUT applied to the input first.
struct LutFiles;

class CVxLUT {
public:
    // Which tables a caller of Load accepts.
    enum class EDimensionRequirement : uint8_t { eAnyDimension, eOnly1D, eOnly3D };

    CVxLUT();
    CVxLUT(const CVxLUT&) = delete;
    CVxLUT& operator=(const CVxLUT&) = delete;
    virtual ~CVxLUT();

    bool Create(uint32_t size, bool is3D);
    void Clear();
    void SetDomain(const float min[4], const float max[4]);
    void SetDomainUniform(float min, float max);
    void Apply(float rgb[3]) const;
    bool Resample(uint32_t newSize);
    // Rebuilds the table at newSize over the domain [0, 1], each new entry
    // taking what the table gives at its input (the first or last entry
    // outside the old domain). On the domain [0, 1] this is Resample.
    bool ResampleOverUnitDomain(uint32_t newSize);
    bool UpsampleToPowerOfTwo(uint32_t maxSize);
    // Reads the LUT file at path, resolved through the run's LUT folders.
    bool Load(const LutFiles& source, const CVxString& path, bool upsampleToPowerOfTwo,
              EDimensionRequirement dimensionRequirement, bool allowCurveFallback);
    // Load for a caller that has read the file at path already (its bytes as
    // FileAccess::ReadFile gives them, at most kLargestLutFile): the readers
    // take these bytes rather than reading the file again. A relative path that
    // the LUT folders resolve to another file loads that file, as Load does.
    bool LoadBytes(const LutFiles& source, const CVxString& path, CVxString&& bytes,
                   bool upsampleToPowerOfTwo, EDimensionRequirement dimensionRequirement,
                   bool allowCurveFallback);

    // Drops the pre-LUT, if any.
    void DeletePreLUT();
    bool IsEmpty() const { return m_size == 0; }
    // The red, green and blue inputs span [0, 1] exactly.
    bool HasUnitDomain() const;
    // Number of floats in the table (4 per entry).
    size_t FloatCount() const;

    bool m_is3D = false;
    uint32_t m_size = 0;
    uint32_t m_greenStride = 0;
    uint32_t m_blueStride = 0;
    uint8_t* m_storage = nullptr; // from platform::NewLargeBlock
    size_t m_storageBytes = 0;
    float* m_data = nullptr;
    float m_domainMin[4] = {0, 0, 0, 0};
    float m_domainMax[4] = {1, 1, 1, 1};
    float m_texScale[4] = {0, 0, 0, 0};
    float m_texOffset[4] = {0, 0, 0, 0};
    float m_lookupScale[3] = {0, 0, 0};
    CVxLUT* m_preLUT = nullptr;
};

// 0 and 1 count as powers of two.
bool IsPowerOfTwo(uint32_t value);
// The size that UpsampleToPowerOfTwo(maxSize) gives a table of `size` entries.
uint32_t UpsampledSize(uint32_t size, uint32_t maxSize);
// Spreads `count` packed RGB triples in place into RGBA entries with the given alpha.
void ExpandRgbToRgba(float* data, size_t count, float alpha);
