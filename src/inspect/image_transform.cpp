#include "inspect/image_transform.h"

#include "foundation/parallel_bands.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t kColoursPerBlock = 4096;

// The cell below position v (in node units) and how far into it v lies.
inline uint32_t CellOf(float input, uint32_t last, float& fraction) {
    const float position = (input > 0.0f ? std::min(input, 1.0f) : 0.0f) * float(last);
    const uint32_t cell = std::min(static_cast<uint32_t>(position), last - 1);
    fraction = position - float(cell);
    return cell;
}

void ApplyRange(const LatticeView& lattice, const float* in, float* out, size_t first, size_t end) {
    const uint32_t last = lattice.size - 1;
    const size_t strideG = size_t(lattice.size) * 3;
    const size_t strideB = strideG * lattice.size;
    // Pictures repeat colours along their rows (patches, steps of a ramp): a
    // colour equal to the one before gives the same result. Kept apart from
    // `in`, which `out` may overwrite.
    float before[3] = {NAN, NAN, NAN}, result[3] = {};
    for (size_t i = first; i < end; ++i) {
        const float colour[3] = {in[3 * i], in[3 * i + 1], in[3 * i + 2]};
        if (colour[0] == before[0] && colour[1] == before[1] && colour[2] == before[2]) {
            std::copy_n(result, 3, out + 3 * i);
            continue;
        }
        std::copy_n(colour, 3, before);
        float fr, fg, fb;
        const uint32_t r = CellOf(colour[0], last, fr);
        const uint32_t g = CellOf(colour[1], last, fg);
        const uint32_t b = CellOf(colour[2], last, fb);
        const float* p000 = lattice.values + b * strideB + g * strideG + r * 3;
        const float* p010 = p000 + strideG;
        const float* p001 = p000 + strideB;
        const float* p011 = p001 + strideG;
        for (int c = 0; c < 3; ++c) {
            const float x00 = p000[c] + (p000[c + 3] - p000[c]) * fr;
            const float x10 = p010[c] + (p010[c + 3] - p010[c]) * fr;
            const float x01 = p001[c] + (p001[c + 3] - p001[c]) * fr;
            const float x11 = p011[c] + (p011[c + 3] - p011[c]) * fr;
            const float y0 = x00 + (x10 - x00) * fg;
            const float y1 = x01 + (x11 - x01) * fg;
            result[c] = y0 + (y1 - y0) * fb;
            out[3 * i + c] = result[c];
        }
    }
}

} // namespace

bool ApplyLattice(const LatticeView& lattice, const float* in, float* out, size_t count,
                  uint32_t threadCount, const StopRequest* stop) {
    if (lattice.size < 2 || count == 0)
        return true;
    const auto blocks = static_cast<uint32_t>((count + kColoursPerBlock - 1) / kColoursPerBlock);
    ParallelBands(blocks, threadCount, [&](uint32_t, uint32_t first, uint32_t end) {
        for (uint32_t block = first; block < end && !StopRequested(stop); ++block)
            ApplyRange(lattice, in, out, block * size_t{kColoursPerBlock},
                       std::min(count, (block + 1) * size_t{kColoursPerBlock}));
    });
    return !StopRequested(stop);
}

FloatImage ShrinkToFit(const FloatImage& image, uint32_t maxWidth, uint32_t maxHeight) {
    if (image.width <= maxWidth && image.height <= maxHeight)
        return image;
    const double scale = std::min(double(maxWidth) / image.width, double(maxHeight) / image.height);
    const auto width = std::max(1u, static_cast<uint32_t>(std::lround(image.width * scale)));
    const auto height = std::max(1u, static_cast<uint32_t>(std::lround(image.height * scale)));
    // The source pixels [start(k), start(k + 1)) along an axis fall in pixel k.
    auto start = [](uint32_t k, uint32_t from, uint32_t to) {
        return static_cast<uint32_t>(uint64_t(k) * from / to);
    };
    FloatImage small(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t y0 = start(y, image.height, height);
        const uint32_t y1 = std::max(y0 + 1, start(y + 1, image.height, height));
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t x0 = start(x, image.width, width);
            const uint32_t x1 = std::max(x0 + 1, start(x + 1, image.width, width));
            double sum[3] = {0.0, 0.0, 0.0};
            for (uint32_t sy = y0; sy < y1; ++sy)
                for (uint32_t sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += image.Pixel(sx, sy)[c];
            const double area = double(y1 - y0) * (x1 - x0);
            for (int c = 0; c < 3; ++c)
                small.Pixel(x, y)[c] = static_cast<float>(sum[c] / area);
        }
    }
    return small;
}
