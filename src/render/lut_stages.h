#pragma once

#include "render/pixel_stage.h"

#include <memory>

// A stage that leaves every pixel as it came.
std::unique_ptr<PixelStage> CreatePassThrough(const PixelStageSetup& setup);

// The stages of the LUT shaders, which apply the LUT of texture unit 1: its 1D
// part, its 3D part, or both. A part the shader wants but the bound LUT lacks
// is left out, and with no part left (or no texture at all) pixels pass
// through unchanged.
std::unique_ptr<PixelStage> CreateLut1DStage(const PixelStageSetup& setup);
std::unique_ptr<PixelStage> CreateLut3DStage(const PixelStageSetup& setup);
std::unique_ptr<PixelStage> CreateLut1D3DStage(const PixelStageSetup& setup);
