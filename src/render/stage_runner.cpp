#include "render/stage_runner.h"

#include "foundation/parallel_bands.h"
#include "render/render_image.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>

namespace {

// Below this many pixels a second thread costs more than it saves.
constexpr uint64_t kPixelsPerExtraThread = 16384;

// A stage that reads neighbours (or none) followed by per-pixel stages.
struct Segment {
    const PixelStage* neighbourStage = nullptr;
    std::vector<const PixelStage*> perPixel;
};

std::vector<Segment> SplitIntoSegments(const std::vector<const PixelStage*>& stages) {
    std::vector<Segment> segments;
    for (const PixelStage* stage : stages) {
        if (stage->IsIdentity())
            continue;
        if (stage->ReadsNeighbours()) {
            segments.emplace_back().neighbourStage = stage;
            continue;
        }
        if (segments.empty())
            segments.emplace_back();
        segments.back().perPixel.push_back(stage);
    }
    return segments;
}

RgbaRows RowsOf(const RenderImage& image) {
    return RgbaRows{image.Row(0), image.Width(), image.Height(), image.RowStride()};
}

uint32_t UsefulThreads(const RenderImage& image, uint32_t threadCount) {
    const uint64_t pixels = uint64_t(image.Width()) * image.Height();
    const uint64_t useful = pixels / kPixelsPerExtraThread + 1;
    uint32_t threads = threadCount < useful ? threadCount : uint32_t(useful);
    if (threads > image.Height())
        threads = image.Height();
    return threads ? threads : 1;
}

// The one stage of a segment that can take the rows of RGB images as they
// are, without the RGBA scratch, or null.
const PixelStage* RgbRowStage(const Segment& segment, const RenderImage& source,
                              const RenderImage& destination) {
    if (segment.neighbourStage || segment.perPixel.size() != 1 || source.Channels() != 3 ||
        destination.Channels() != 3 || !segment.perPixel[0]->ProcessesRgbRows())
        return nullptr;
    return segment.perPixel[0];
}

void RunSegmentRows(const Segment& segment, const RenderImage& source, RenderImage& destination,
                    uint32_t firstRow, uint32_t endRow, float* scratch) {
    const uint32_t width = destination.Width();
    if (const PixelStage* stage = RgbRowStage(segment, source, destination)) {
        for (uint32_t y = firstRow; y < endRow; ++y)
            stage->ProcessRgbRow(source.Row(y), destination.Row(y), width);
        return;
    }
    const RgbaRows rows = segment.neighbourStage ? RowsOf(source) : RgbaRows{};
    for (uint32_t y = firstRow; y < endRow; ++y) {
        if (segment.neighbourStage)
            segment.neighbourStage->ProcessRowWithNeighbours(rows, y, scratch);
        else
            source.LoadRgbaRow(y, scratch);
        for (const PixelStage* stage : segment.perPixel)
            stage->ProcessRow(scratch, scratch, width);
        destination.StoreRgbaRow(y, scratch);
    }
}

// Rows go to the threads in blocks of about this many pixels, in order, each
// block to the first thread free: the rows finished so far then lie mostly at
// the image's start, where a reader of finished rows waits for them.
constexpr uint32_t kPixelsPerBlock = 16384;

// Calls `work` over the image's rows in blocks, each block to the first
// thread free, with the scratch row of that thread. The bytes do not depend on
// which thread runs which rows. A stop leaves the blocks not begun yet; false
// then, as when memory runs out.
template <typename Work>
bool ForEachBlock(const RenderImage& image, uint32_t threadCount, const StopRequest* stop,
                  Work work) {
    const uint32_t threads = UsefulThreads(image, threadCount);
    const size_t rowFloats = size_t(image.Width()) * 4;
    std::unique_ptr<float[]> scratch(new (std::nothrow) float[rowFloats * threads]);
    if (!scratch)
        return false;
    const uint32_t height = image.Height();
    const uint32_t blockRows = std::max(1u, kPixelsPerBlock / std::max(1u, image.Width()));
    const uint32_t blocks = (height + blockRows - 1) / blockRows;
    std::atomic<uint32_t> nextBlock{0};
    std::atomic<uint32_t> blocksDone{0};
    ParallelBands(threads, threads, [&](uint32_t band, uint32_t, uint32_t) {
        float* rowScratch = scratch.get() + rowFloats * band;
        for (uint32_t block = nextBlock++; block < blocks && !StopRequested(stop);
             block = nextBlock++) {
            const uint32_t firstRow = block * blockRows;
            work(firstRow, std::min(height, firstRow + blockRows), rowScratch);
            ++blocksDone;
        }
    });
    return blocksDone == blocks;
}

bool RunSegment(const Segment& segment, const RenderImage& source, RenderImage& destination,
                uint32_t threadCount, RowHooks hooks, const StopRequest* stop) {
    return ForEachBlock(destination, threadCount, stop,
                        [&](uint32_t firstRow, uint32_t endRow, float* scratch) {
                            if (hooks.fillRows)
                                (*hooks.fillRows)(firstRow, endRow);
                            RunSegmentRows(segment, source, destination, firstRow, endRow, scratch);
                            if (hooks.finalRows)
                                (*hooks.finalRows)(firstRow, endRow);
                        });
}

} // namespace

bool RunPixelStages(RenderImage& image, const std::vector<const PixelStage*>& stages,
                    uint32_t threadCount, RowHooks hooks, const StopRequest* stop) {
    const std::vector<Segment> segments = SplitIntoSegments(stages);
    std::unique_ptr<RenderImage> buffers[2];
    const RenderImage* source = &image;
    for (size_t k = 0; k < segments.size(); ++k) {
        const Segment& segment = segments[k];
        // The first pass fills the rows it reads; any other pass reads rows
        // a pass before it wrote.
        const RowsCallback* fillRows = k == 0 ? hooks.fillRows : nullptr;
        // A stage reading neighbours must never read rows it is overwriting.
        if (segment.neighbourStage && source == &image) {
            if (fillRows &&
                !ForEachBlock(image, threadCount, stop, [&](uint32_t first, uint32_t end, float*) {
                    (*fillRows)(first, end);
                }))
                return false;
            fillRows = nullptr;
            buffers[1] = RenderImage::Allocate(image.Width(), image.Height(), 4);
            if (!buffers[1])
                return false;
            buffers[1]->CopyFrom(image);
            source = buffers[1].get();
        }
        RenderImage* destination = &image;
        if (k + 1 < segments.size()) {
            std::unique_ptr<RenderImage>& buffer = buffers[k % 2];
            if (!buffer)
                buffer = RenderImage::Allocate(image.Width(), image.Height(), 4);
            if (!buffer)
                return false;
            destination = buffer.get();
        }
        const RowsCallback* finalRows = k + 1 == segments.size() ? hooks.finalRows : nullptr;
        if (!RunSegment(segment, *source, *destination, threadCount, {fillRows, finalRows}, stop))
            return false;
        source = destination;
    }
    return true;
}
