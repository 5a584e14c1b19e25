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

// Pixels of kChannels floats each, RGBA by default; RGB pixels have no alpha.
template <uint32_t kChannels = 4>
inline void LoadPlanes(const float* pixels, uint32_t count, RgbPlanes& planes) {
    for (uint32_t i = 0; i < count; ++i) {
        planes.r[i] = pixels[i * kChannels + 0];
        planes.g[i] = pixels[i * kChannels + 1];
        planes.b[i] = pixels[i * kChannels + 2];
    }
}

// Writes the planes back as pixels; an RGBA pixel's alpha comes from
// `alphaSource`, which may be `pixels` itself.
template <uint32_t kChannels = 4>
inline void StorePlanes(const RgbPlanes& planes, uint32_t count, const float* alphaSource,
                        float* pixels) {
    for (uint32_t i = 0; i < count; ++i) {
        float alpha = 1.0f;
        if constexpr (kChannels == 4)
            alpha = alphaSource[i * 4 + 3];
        pixels[i * kChannels + 0] = planes.r[i];
        pixels[i * kChannels + 1] = planes.g[i];
        pixels[i * kChannels + 2] = planes.b[i];
        if constexpr (kChannels == 4)
            pixels[i * 4 + 3] = alpha;
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
