#pragma once

#include "inspect/float_image.h"

#include <cstdint>

// The built-in chart that previews show a transform on, sRGB-encoded values
// in [0, 1], kTestChartWidth by kTestChartHeight, top to bottom:
//   rows 0-199    the 24 patches of the colour-checker chart, 6 by 4, each
//                 101 by 50 pixels, in the chart's reading order;
//   rows 200-239  a grey ramp from 0 to 1 in 1% steps, 6 pixels each;
//   rows 240-279  a hue sweep at full saturation and value;
//   rows 280-319  the same sweep at half saturation;
//   rows 320-399  a smooth, shallow sky-blue gradient where banding would show.
inline constexpr uint32_t kTestChartWidth = 606;
inline constexpr uint32_t kTestChartHeight = 400;
inline constexpr uint32_t kChartPatchWidth = 101;
inline constexpr uint32_t kChartPatchHeight = 50;

// The 8-bit sRGB values of the 24 patches, in reading order (dark skin first,
// black last).
extern const uint8_t kColourCheckerSrgb[24][3];

FloatImage MakeTestChart();
