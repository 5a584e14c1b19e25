#pragma once

#include "foundation/stop_request.h"
#include "render/pixel_stage.h"

#include <cstdint>
#include <functional>
#include <vector>

class RenderImage;

// Told of rows [firstRow, endRow) of an image, on whichever thread works on
// them, each row once, in no set order.
using RowsCallback = std::function<void(uint32_t firstRow, uint32_t endRow)>;

// What a run does with the image's rows besides the stages, each when given:
// `fillRows` fills rows that hold nothing yet, just before a pass first reads
// them, so that a large image is filled (and its memory first touched) a block
// at a time on every thread instead of beforehand; `finalRows` is told of the
// rows of the last pass as they are done, when nothing can fail any more.
struct RowHooks {
    const RowsCallback* fillRows = nullptr;
    const RowsCallback* finalRows = nullptr;
};

// Runs the stages over the image in order. Consecutive per-pixel stages are run
// together row by row; a stage that reads neighbours gets the whole output of
// the stages before it as an RGBA image of its own. False when memory for that
// image runs out, or when `stop` is requested before every block of rows is
// done (the image may then be partly processed). Without a stage that changes
// anything, no row is filled or told of.
bool RunPixelStages(RenderImage& image, const std::vector<const PixelStage*>& stages,
                    uint32_t threadCount, RowHooks hooks = {}, const StopRequest* stop = nullptr);
