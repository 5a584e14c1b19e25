#include "render/image_operations.h"

#include "render/render_image.h"

#include <algorithm>
#include <new>
#include <utility>

namespace {

// The pixel of `source` that lands on (x, y) of an image of width by height.
const float* NearestPixel(const RenderImage& source, uint32_t width, uint32_t height, uint32_t x,
                          uint32_t y) {
    const uint32_t sx = uint32_t(uint64_t(x) * source.Width() / width);
    const uint32_t sy = uint32_t(uint64_t(y) * source.Height() / height);
    return source.Row(sy) + size_t(sx) * source.Channels();
}

// Row y of `source` fitted to an image of width by height, as RGBA.
void LoadFittedRgbaRow(const RenderImage& source, uint32_t width, uint32_t height, uint32_t y,
                       float* rgba) {
    if (source.Width() == width && source.Height() == height) {
        source.LoadRgbaRow(y, rgba);
        return;
    }
    for (uint32_t x = 0; x < width; ++x, rgba += 4) {
        const float* pixel = NearestPixel(source, width, height, x, y);
        rgba[0] = pixel[0];
        rgba[1] = pixel[1];
        rgba[2] = pixel[2];
        rgba[3] = source.Channels() == 4 ? pixel[3] : 1.0f;
    }
}

void Combine(EBlendMode mode, float amount, const float* upper, float* lower, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, upper += 4, lower += 4) {
        const float alpha = upper[3];
        for (int c = 0; c < 4; ++c) {
            switch (mode) {
            case EBlendMode::eOver:
                lower[c] = c == 3 ? alpha + lower[3] * (1.0f - alpha)
                                  : upper[c] * alpha + lower[c] * (1.0f - alpha);
                break;
            case EBlendMode::eOverPremultiplied:
                lower[c] = upper[c] + lower[c] * (1.0f - alpha);
                break;
            case EBlendMode::eFade:
                lower[c] = (upper[c] - lower[c]) * amount + lower[c];
                break;
            }
        }
    }
}

} // namespace

void FlipImage(RenderImage& image, bool vertical) {
    const uint32_t channels = image.Channels();
    for (uint32_t y = 0; y < image.Height(); ++y) {
        if (vertical) {
            if (y >= image.Height() - 1 - y)
                break;
            float* top = image.Row(y);
            float* bottom = image.Row(image.Height() - 1 - y);
            for (size_t i = 0; i < size_t(image.Width()) * channels; ++i)
                std::swap(top[i], bottom[i]);
            continue;
        }
        float* row = image.Row(y);
        for (uint32_t left = 0, right = image.Width() - 1; left < right; ++left, --right)
            for (uint32_t c = 0; c < channels; ++c)
                std::swap(row[left * channels + c], row[right * channels + c]);
    }
}

std::unique_ptr<RenderImage> ResampleImage(const RenderImage& source, const double matrix[6],
                                           uint32_t width, uint32_t height) {
    std::unique_ptr<RenderImage> result = RenderImage::Allocate(width, height, source.Channels());
    if (!result)
        return nullptr;
    const uint32_t channels = source.Channels();
    for (uint32_t y = 0; y < result->Height(); ++y) {
        float* out = result->Row(y);
        for (uint32_t x = 0; x < result->Width(); ++x, out += channels) {
            const double u = matrix[0] * (x + 0.5) + matrix[1] * (y + 0.5) + matrix[2];
            const double v = matrix[3] * (x + 0.5) + matrix[4] * (y + 0.5) + matrix[5];
            const bool inside = u >= 0 && v >= 0 && u < source.Width() && v < source.Height();
            const float* in =
                inside ? source.Row(uint32_t(v)) + size_t(uint32_t(u)) * channels : nullptr;
            for (uint32_t c = 0; c < channels; ++c)
                out[c] = in ? in[c] : 0.0f;
        }
    }
    return result;
}

void StretchMatrix(const RenderImage& image, uint32_t width, uint32_t height, double amount,
                   EStretchAlignment alignment, double matrix[6]) {
    const double fitX = double(width) / image.Width(), fitY = double(height) / image.Height();
    const double fit = fitX < fitY ? fitX : fitY;
    const double scaleX = fit + (fitX - fit) * amount, scaleY = fit + (fitY - fit) * amount;
    const double spareX = width - image.Width() * scaleX;
    const double spareY = height - image.Height() * scaleY;
    const double offsetX = alignment == EStretchAlignment::eLeft    ? 0
                           : alignment == EStretchAlignment::eRight ? spareX
                                                                    : spareX / 2;
    const double offsetY = alignment == EStretchAlignment::eTop      ? 0
                           : alignment == EStretchAlignment::eBottom ? spareY
                                                                     : spareY / 2;
    const double result[6] = {1 / scaleX, 0, -offsetX / scaleX, 0, 1 / scaleY, -offsetY / scaleY};
    std::copy(result, result + 6, matrix);
}

bool BlendImages(EBlendMode mode, float amount, const RenderImage& upper, RenderImage& lower) {
    std::unique_ptr<float[]> rows(new (std::nothrow) float[size_t(lower.Width()) * 8]);
    if (!rows)
        return false;
    float* upperRow = rows.get();
    float* lowerRow = upperRow + size_t(lower.Width()) * 4;
    for (uint32_t y = 0; y < lower.Height(); ++y) {
        LoadFittedRgbaRow(upper, lower.Width(), lower.Height(), y, upperRow);
        lower.LoadRgbaRow(y, lowerRow);
        Combine(mode, amount, upperRow, lowerRow, lower.Width());
        lower.StoreRgbaRow(y, lowerRow);
    }
    return true;
}

bool FitImageInto(const RenderImage& source, RenderImage& target) {
    if (source.Width() == target.Width() && source.Height() == target.Height()) {
        target.CopyFrom(source);
        return true;
    }
    std::unique_ptr<float[]> row(new (std::nothrow) float[size_t(target.Width()) * 4]);
    if (!row)
        return false;
    for (uint32_t y = 0; y < target.Height(); ++y) {
        LoadFittedRgbaRow(source, target.Width(), target.Height(), y, row.get());
        target.StoreRgbaRow(y, row.get());
    }
    return true;
}
