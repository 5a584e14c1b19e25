#include "render/render_image.h"

#include <algorithm>
#include <cstring>
#include <new>

std::unique_ptr<RenderImage> RenderImage::Wrap(float* pixels, uint32_t width, uint32_t height,
                                               uint32_t channels, size_t rowStride) {
    auto image = std::make_unique<RenderImage>();
    image->m_pixels = pixels;
    image->m_width = width;
    image->m_height = height;
    image->m_channels = channels;
    image->m_rowStride = rowStride ? rowStride : size_t(width) * channels;
    return image;
}

std::unique_ptr<RenderImage> RenderImage::Allocate(uint32_t width, uint32_t height,
                                                   uint32_t channels) {
    const size_t floats = size_t(width) * height * channels;
    std::unique_ptr<float[]> storage(new (std::nothrow) float[floats ? floats : 1]);
    if (!storage)
        return nullptr;
    auto image = Wrap(storage.get(), width, height, channels);
    image->m_storage = std::move(storage);
    return image;
}

void RenderImage::Fill(const float rgba[4]) {
    for (uint32_t y = 0; y < m_height; ++y) {
        float* row = Row(y);
        for (uint32_t x = 0; x < m_width; ++x)
            std::memcpy(row + size_t(x) * m_channels, rgba, m_channels * sizeof(float));
    }
}

void RenderImage::CopyFrom(const RenderImage& source) {
    if (source.m_channels == m_channels) {
        for (uint32_t y = 0; y < m_height; ++y)
            std::memcpy(Row(y), source.Row(y), size_t(m_width) * m_channels * sizeof(float));
        return;
    }
    std::unique_ptr<float[]> rgba(new float[size_t(m_width) * 4]);
    for (uint32_t y = 0; y < m_height; ++y) {
        source.LoadRgbaRow(y, rgba.get());
        StoreRgbaRow(y, rgba.get());
    }
}

void RenderImage::LoadRgbaRow(uint32_t y, float* rgba) const {
    const float* row = Row(y);
    if (m_channels == 4) {
        std::memcpy(rgba, row, size_t(m_width) * 4 * sizeof(float));
        return;
    }
    for (uint32_t x = 0; x < m_width; ++x, row += 3, rgba += 4) {
        rgba[0] = row[0];
        rgba[1] = row[1];
        rgba[2] = row[2];
        rgba[3] = 1.0f;
    }
}

void RenderImage::StoreRgbaRow(uint32_t y, const float* rgba) {
    float* row = Row(y);
    if (m_channels == 4) {
        std::memcpy(row, rgba, size_t(m_width) * 4 * sizeof(float));
        return;
    }
    for (uint32_t x = 0; x < m_width; ++x, row += 3, rgba += 4) {
        row[0] = rgba[0];
        row[1] = rgba[1];
        row[2] = rgba[2];
    }
}
