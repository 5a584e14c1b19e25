#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A float image of 3 (RGB) or 4 (RGBA) interleaved channels, rows one after
// another. It either wraps memory that someone else owns (a rendered LUT
// buffer) or owns its own pixels.
class RenderImage {
public:
    RenderImage() = default;
    RenderImage(const RenderImage&) = delete;
    RenderImage& operator=(const RenderImage&) = delete;

    // Wraps pixels owned elsewhere; rowStride 0 means rows without padding.
    static std::unique_ptr<RenderImage> Wrap(float* pixels, uint32_t width, uint32_t height,
                                             uint32_t channels, size_t rowStride = 0);
    // An image with pixels of its own (not initialised); null when memory runs out.
    static std::unique_ptr<RenderImage> Allocate(uint32_t width, uint32_t height,
                                                 uint32_t channels);

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint32_t Channels() const { return m_channels; }
    // Floats from the start of one row to the start of the next.
    size_t RowStride() const { return m_rowStride; }
    float* Row(uint32_t y) { return m_pixels + y * m_rowStride; }
    const float* Row(uint32_t y) const { return m_pixels + y * m_rowStride; }
    bool SameLayout(const RenderImage& other) const {
        return m_width == other.m_width && m_height == other.m_height &&
               m_channels == other.m_channels;
    }

    // Every pixel set to one RGBA colour (alpha dropped for RGB images).
    void Fill(const float rgba[4]);
    // Copies another image of the same size, converting between 3 and 4 channels
    // (a missing alpha reads as 1).
    void CopyFrom(const RenderImage& source);

    // Row y as RGBA into `rgba`, alpha 1 for an RGB image.
    void LoadRgbaRow(uint32_t y, float* rgba) const;
    // `rgba` into row y, alpha dropped for an RGB image.
    void StoreRgbaRow(uint32_t y, const float* rgba);

private:
    float* m_pixels = nullptr;
    std::unique_ptr<float[]> m_storage;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_channels = 0;
    size_t m_rowStride = 0;
};
