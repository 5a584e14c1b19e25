#pragma once

#include "render/pixel_stage.h"

#include <cstdint>
#include <functional>
#include <vector>

class RenderImage;

// Told of rows [firstRow, endRow) of an image as they are written for the last
// time, on whichever thread wrote them, each row once, in no set order.
using FinalRows = std::function<void(uint32_t firstRow, uint32_t endRow)>;

// Runs the stages over the image in order. Consecutive per-pixel stages are run
// together row by row; a stage that reads neighbours gets the whole output of
// the stages before it as an RGBA image of its own. False when memory for that
// image runs out (the image may then be partly processed). The rows of the
// last pass are handed to `finalRows`, when given, as they are done: by then
// nothing can fail.
bool RunPixelStages(RenderImage& image, const std::vector<const PixelStage*>& stages,
                    uint32_t threadCount, const FinalRows* finalRows = nullptr);
