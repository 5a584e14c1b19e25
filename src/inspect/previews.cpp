#include "inspect/previews.h"

#include "foundation/parallel_bands.h"
#include "inspect/image_transform.h"
#include "inspect/png_image.h"
#include "inspect/test_chart.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

// Wide enough to see the patches and the ramps, small enough for a page of
// hundreds of rows.
constexpr uint32_t kThumbnailWidth = 180;
constexpr uint32_t kThumbnailHeight = 120;

// A row this wide is worth the helper threads.
constexpr uint32_t kWideRow = 16384;

class BytesSink final : public ByteSink {
public:
    explicit BytesSink(std::string& bytes) : m_bytes(bytes) {}
    bool Append(const void* data, size_t size) override {
        m_bytes.append(static_cast<const char*>(data), size);
        return true;
    }

private:
    std::string& m_bytes;
};

} // namespace

bool WriteBeforeAndAfterPng(const FloatImage& picture, const float* lattice, uint32_t n,
                            ByteSink& out) {
    const uint32_t width = picture.width;
    const size_t rowFloats = size_t(width) * 3;
    std::vector<float> row;
    try {
        row.assign(rowFloats * 2 + kSideBySideGap * 3, 0.5f);
    } catch (const std::bad_alloc&) {
        return false;
    }
    float* const after = row.data() + rowFloats + kSideBySideGap * 3;
    const uint32_t threads = width >= kWideRow ? DefaultThreadCount() : 1;
    // A row a time, never the picture whole a second time; a row equal to the
    // one above (a patch, a band) keeps the result it had.
    const PngRows rows = [&](uint32_t y) {
        const float* before = picture.Pixel(0, y);
        if (y == 0 || !std::equal(before, before + rowFloats, picture.Pixel(0, y - 1)))
            ApplyLattice({lattice, n}, before, after, width, threads);
        std::copy_n(before, rowFloats, row.data());
        return row.data();
    };
    return WritePngRows(width * 2 + kSideBySideGap, picture.height, rows,
                        {8, kPictureMarkKey, kPictureMarkValue}, out);
}

const FloatImage& ThumbnailChart() {
    static const FloatImage chart = ShrinkToFit(MakeTestChart(), kThumbnailWidth, kThumbnailHeight);
    return chart;
}

std::string ThumbnailPng(const float* lattice, uint32_t n) {
    std::string bytes;
    BytesSink sink(bytes);
    if (!WriteBeforeAndAfterPng(ThumbnailChart(), lattice, n, sink))
        bytes.clear();
    return bytes;
}
