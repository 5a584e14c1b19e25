#pragma once

#include "platform/large_buffer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// An RGB picture: three floats per pixel, rows top to bottom, no padding.
struct FloatImage {
    uint32_t width = 0, height = 0;
    // Pictures of megabytes lie in large pages: their first touch costs less.
    std::vector<float, platform::LargePageAllocator<float>> rgb;

    FloatImage() = default;
    FloatImage(uint32_t w, uint32_t h) : width(w), height(h), rgb(size_t(w) * h * 3) {}
    size_t PixelCount() const { return size_t(width) * height; }
    float* Pixel(uint32_t x, uint32_t y) { return rgb.data() + (size_t(y) * width + x) * 3; }
    const float* Pixel(uint32_t x, uint32_t y) const {
        return rgb.data() + (size_t(y) * width + x) * 3;
    }
};
