#pragma once

#include "render/base_grading.h"
#include "render/pixel_stage.h"

#include <memory>

// The first pass: matrix LUT, matrix, base LUT, then the tonal split or the
// single range, each step only when its part is active (a null texture leaves
// its LUT step out). `rows` is the lookup table on unit 5: row 0 holds the
// tonal weights, rows 1 to 6 the hue, lightness and saturation weights of the
// secondaries.
std::unique_ptr<PixelStage> MakeBaseFirstPass(const BaseGradingValues& values,
                                              const BaseGradingParts& parts,
                                              const LutTexture* matrixLut,
                                              const LutTexture* baseLut, LookupRows rows);

// The factory registered for VEXLAN.Base.1: values and parts from the
// script, textures from units 6 (matrix LUT) and 3 (base LUT), rows from unit 5.
std::unique_ptr<PixelStage> CreateBaseFirstPass(const PixelStageSetup& setup);
