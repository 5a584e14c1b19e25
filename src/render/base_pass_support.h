#pragma once

#include "render/lut_sampling.h"
#include "render/pixel_chunks.h"
#include "render/pixel_stage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the two passes of the base grading share: the lookup table they read,
// the names of their kernel variants and the luma of a chunk of pixels.

// The lookup table of the base shaders lies on this texture unit: row 0 holds
// the tonal weights, rows 1 to 6 the hue, lightness and saturation weights of
// the secondaries.
inline constexpr uint32_t kLookupTableUnit = 5;
inline constexpr uint32_t kLookupRowsUsed = 7;
inline constexpr size_t kFloatsPerLookupRow = size_t(kLookupEntries) * 4;

// Rows the passes read when the engine supplies fewer: all weights 0.
inline const float* LookupRowsOrZero(LookupRows rows) {
    static const std::vector<float> zero(kLookupRowsUsed * kFloatsPerLookupRow, 0.0f);
    return rows.data != nullptr && rows.rowCount >= kLookupRowsUsed ? rows.data : zero.data();
}

// The name of a pass's kernel variant: the pass, then the steps it takes in brackets.
inline std::string VariantName(const char* pass, const std::vector<const char*>& steps) {
    std::string name = pass;
    name += '[';
    for (size_t i = 0; i < steps.size(); ++i) {
        if (i != 0)
            name += ',';
        name += steps[i];
    }
    name += ']';
    return name;
}

// Y of each pixel from its red, green and blue.
inline void Luma(const float luminance[3], const RgbPlanes& c, float* y, uint32_t count) {
    const float lr = luminance[0], lg = luminance[1], lb = luminance[2];
    for (uint32_t i = 0; i < count; ++i)
        y[i] = c.r[i] * lr + c.g[i] * lg + c.b[i] * lb;
}
