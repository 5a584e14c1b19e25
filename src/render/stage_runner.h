#pragma once

#include "render/pixel_stage.h"

#include <cstdint>
#include <functional>
#include <vector>

class RenderImage;

// Calls work(band, firstRow, endRow) over [0, height) split into threadCount
// contiguous bands, one per thread (the calling thread takes band 0). Bands
// whose thread cannot be started run on the calling thread.
void ParallelRows(uint32_t height, uint32_t threadCount,
                  const std::function<void(uint32_t, uint32_t, uint32_t)>& work);

// Runs the stages over the image in order. Consecutive per-pixel stages are run
// together row by row; a stage that reads neighbours gets the whole output of
// the stages before it as an RGBA image of its own. False when memory for that
// image runs out (the image may then be partly processed).
bool RunPixelStages(RenderImage& image, const std::vector<const PixelStage*>& stages,
                    uint32_t threadCount);
