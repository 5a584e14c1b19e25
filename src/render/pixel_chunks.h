#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

// The kernels work on a row in chunks of at most kChunkPixels pixels, held as
// separate red, green and blue planes on the stack: plain loops over planes
// vectorise, and the scratch never needs the heap whatever the image width.
inline constexpr uint32_t kChunkPixels = 128;

struct RgbPlanes {
    float r[kChunkPixels];
    float g[kChunkPixels];
    float b[kChunkPixels];
};

inline void LoadPlanes(const float* rgba, uint32_t count, RgbPlanes& planes) {
    for (uint32_t i = 0; i < count; ++i) {
        planes.r[i] = rgba[i * 4 + 0];
        planes.g[i] = rgba[i * 4 + 1];
        planes.b[i] = rgba[i * 4 + 2];
    }
}

// Writes the planes back as RGBA; the alpha comes from `alphaSource`, which may
// be `rgba` itself.
inline void StorePlanes(const RgbPlanes& planes, uint32_t count, const float* alphaSource,
                        float* rgba) {
    for (uint32_t i = 0; i < count; ++i) {
        const float alpha = alphaSource[i * 4 + 3];
        rgba[i * 4 + 0] = planes.r[i];
        rgba[i * 4 + 1] = planes.g[i];
        rgba[i * 4 + 2] = planes.b[i];
        rgba[i * 4 + 3] = alpha;
    }
}

inline void CopyPixels(const float* in, float* out, uint32_t width) {
    if (in != out)
        std::copy(in, in + size_t(width) * 4, out);
}

// Calls fn(first, count) for consecutive chunks covering `width` pixels.
template <typename Fn> void ForEachChunk(uint32_t width, Fn&& fn) {
    for (uint32_t first = 0; first < width; first += kChunkPixels)
        fn(first, std::min(kChunkPixels, width - first));
}
