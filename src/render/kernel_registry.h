#pragma once

#include "foundation/vx_string.h"
#include "render/pixel_stage.h"

#include <memory>

using PixelStageFactory = std::unique_ptr<PixelStage> (*)(const PixelStageSetup& setup);

// The CPU kernel registered under a shader name (case-blind), null when none:
// a shader whose colour math is not known has no kernel.
PixelStageFactory FindPixelStage(const CVxString& shaderName);
