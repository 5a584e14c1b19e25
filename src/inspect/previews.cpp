#include "inspect/previews.h"

#include "foundation/byte_sink.h"
#include "foundation/parallel_bands.h"
#include "inspect/image_transform.h"
#include "inspect/png_image.h"
#include "inspect/test_chart.h"

namespace {

// Wide enough to see the patches and the ramps, small enough for a page of
// hundreds of rows.
constexpr uint32_t kThumbnailWidth = 240;
constexpr uint32_t kThumbnailHeight = 160;

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

FloatImage BeforeAndAfter(const FloatImage& picture, const float* lattice, uint32_t n) {
    FloatImage after(picture.width, picture.height);
    ApplyLattice({lattice, n}, picture.rgb.data(), after.rgb.data(), picture.PixelCount(),
                 DefaultThreadCount());
    return ComposeSideBySide(picture, after);
}

const FloatImage& ThumbnailChart() {
    static const FloatImage chart = ShrinkToFit(MakeTestChart(), kThumbnailWidth, kThumbnailHeight);
    return chart;
}

std::string ThumbnailPng(const float* lattice, uint32_t n) {
    std::string bytes;
    BytesSink sink(bytes);
    if (!WritePng(BeforeAndAfter(ThumbnailChart(), lattice, n),
                  {8, kPictureMarkKey, kPictureMarkValue}, sink))
        bytes.clear();
    return bytes;
}
