#pragma once

#include "render/pixel_stage.h"

#include <cstdint>
#include <vector>

class RenderImage;

// Runs the stages over the image in order. Consecutive per-pixel stages are run
// together row by row; a stage that reads neighbours gets the whole output of
// the stages before it as an RGBA image of its own. False when memory for that
// image runs out (the image may then be partly processed).
bool RunPixelStages(RenderImage& image, const std::vector<const PixelStage*>& stages,
                    uint32_t threadCount);
