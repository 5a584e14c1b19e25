#pragma once

#include "render/base_grading.h"
#include "render/pixel_stage.h"

#include <memory>

// The second pass: the six secondaries keyed on hue, lightness and saturation
// of the (optionally blurred) pixel colour.
std::unique_ptr<PixelStage> MakeBaseSecondPass(const BaseGradingValues& values,
                                               const BaseGradingParts& parts, LookupRows rows);

// The factory registered for VEXLAN.Base.2: values and parts from the
// script, rows from unit 5.
std::unique_ptr<PixelStage> CreateBaseSecondPass(const PixelStageSetup& setup);
