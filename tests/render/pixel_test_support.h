#pragma once

#include "lut/lut.h"
#include "render/pixel_stage.h"

#include <array>
#include <memory>
#include <vector>

using Rgb = std::array<float, 3>;

// A lattice of `size` points per axis holding f(r, g, b) at every grid point
// of the unit cube.
template <typename Fn> std::unique_ptr<CVxLUT> MakeLattice(uint32_t size, Fn f) {
    auto lut = std::make_unique<CVxLUT>();
    lut->Create(size, true);
    const float step = 1.0f / static_cast<float>(size - 1);
    float* entry = lut->m_data;
    for (uint32_t b = 0; b < size; ++b)
        for (uint32_t g = 0; g < size; ++g)
            for (uint32_t r = 0; r < size; ++r, entry += 4) {
                const Rgb value = f(r * step, g * step, b * step);
                *std::copy(value.begin(), value.end(), entry) = 1.0f;
            }
    return lut;
}

// Multilinear, so trilinear sampling reproduces it anywhere in the cube, and
// asymmetric, so mixed-up axes show.
inline Rgb Multilinear(float r, float g, float b) {
    return {1.0f - r, 0.5f * g + 0.25f * b, r * b};
}

inline std::unique_ptr<CVxLUT> MakeTable(const std::vector<Rgb>& entries, float domainMin = 0.0f,
                                         float domainMax = 1.0f) {
    auto lut = std::make_unique<CVxLUT>();
    lut->Create(static_cast<uint32_t>(entries.size()), false);
    for (size_t i = 0; i < entries.size(); ++i) {
        *std::copy(entries[i].begin(), entries[i].end(), lut->m_data + i * 4) = 1.0f;
    }
    lut->SetDomainUniform(domainMin, domainMax);
    return lut;
}

// One pixel through a stage's row call.
inline std::array<float, 4> RunPixel(const PixelStage& stage, const Rgb& rgb, float alpha = 1.0f) {
    std::array<float, 4> pixel = {rgb[0], rgb[1], rgb[2], alpha};
    stage.ProcessRow(pixel.data(), pixel.data(), 1);
    return pixel;
}
