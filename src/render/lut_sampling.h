#pragma once

#include "lut/lut.h"
#include "render/pixel_chunks.h"
#include "render/pixel_stage.h"

#include <cstdint>

// Sampling of LUT textures and lookup rows the way a graphics device samples a
// texture with linear filtering and clamp-to-edge: an axis of n texels read at
// the coordinate u has t = u * n - 0.5 clamped to [0, n - 1], the cell
// i = floor(t) (at most n - 2) and the fraction f = t - i; neighbours are
// blended as (b - a) * f + a in single precision.

// Binds a loaded LUT that holds entries: the factors come from its pre-LUT
// when it has one, otherwise from the LUT itself.
LutTexture MakeLutTexture(const CVxLUT& lut);

// x = c * scale + offset for each of the first `count` pixels of the planes.
void MapLutDomain(const LutTexture& texture, RgbPlanes& planes, uint32_t count);

// A 1D table applied per channel: each channel reads its own column.
void SampleOneD(const CVxLUT& table, RgbPlanes& planes, uint32_t count);

// A 3D lattice sampled trilinearly: along blue first, then red, then green,
// each step rounded to float, as CVxLUT::Apply interpolates.
void SampleThreeD(const CVxLUT& lattice, RgbPlanes& planes, uint32_t count);

// The domain mapping, then those of the 1D and 3D parts that are wanted and
// that the texture has. The 3D part reads the 1D part's output directly as its
// coordinate: a pre-LUT holds coordinates of the lattice.
void ApplyLutTexture(const LutTexture& texture, bool oneD, bool threeD, RgbPlanes& planes,
                     uint32_t count);

inline constexpr uint32_t kLookupEntries = 1024;

// Row of a lookup table read at x in [0, 1]: u = x * 1023/1024 + 0.5/1024, so 0
// and 1 land on the centres of the first and last entries, linear in between.
// `row` points at 1024 RGBA entries; the red, green and blue results go to the
// three outputs.
void SampleLookupRow(const float* row, const float* x, uint32_t count, float* red, float* green,
                     float* blue);
