#include "inspect/test_chart.h"

#include <algorithm>
#include <cmath>

// X-Rite's published 8-bit sRGB values for the ColorChecker Classic (as listed
// in the Wikipedia article "ColorChecker").
const uint8_t kColourCheckerSrgb[24][3] = {
    {115, 82, 68},   {194, 150, 130}, {98, 122, 157}, {87, 108, 67},   {133, 128, 177},
    {103, 189, 170}, {214, 126, 44},  {80, 91, 166},  {193, 90, 99},   {94, 60, 108},
    {157, 188, 64},  {224, 163, 46},  {56, 61, 150},  {70, 148, 73},   {175, 54, 60},
    {231, 199, 31},  {187, 86, 149},  {8, 133, 161},  {243, 243, 242}, {200, 200, 200},
    {160, 160, 160}, {122, 122, 121}, {85, 85, 85},   {52, 52, 52},
};

namespace {

constexpr uint32_t kRampTop = 4 * kChartPatchHeight;
constexpr uint32_t kBandHeight = 40;
constexpr uint32_t kGradientTop = kRampTop + 3 * kBandHeight;

void FillRect(FloatImage& image, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h,
              const float rgb[3]) {
    for (uint32_t y = y0; y < y0 + h; ++y)
        for (uint32_t x = x0; x < x0 + w; ++x)
            std::copy_n(rgb, 3, image.Pixel(x, y));
}

// HSV with hue in turns [0, 1).
void HsvToRgb(double hue, double saturation, double value, float rgb[3]) {
    for (int c = 0; c < 3; ++c) {
        // Red peaks at hue 0, green at 1/3, blue at 2/3.
        const double k = std::fmod(5.0 - 2.0 * c + hue * 6.0, 6.0);
        const double ramp = std::clamp(std::min(k, 4.0 - k), 0.0, 1.0);
        rgb[c] = static_cast<float>(value * (1.0 - saturation * ramp));
    }
}

} // namespace

FloatImage MakeTestChart() {
    FloatImage chart(kTestChartWidth, kTestChartHeight);
    for (uint32_t patch = 0; patch < 24; ++patch) {
        const float rgb[3] = {kColourCheckerSrgb[patch][0] / 255.0f,
                              kColourCheckerSrgb[patch][1] / 255.0f,
                              kColourCheckerSrgb[patch][2] / 255.0f};
        FillRect(chart, patch % 6 * kChartPatchWidth, patch / 6 * kChartPatchHeight,
                 kChartPatchWidth, kChartPatchHeight, rgb);
    }
    const uint32_t stepWidth = kTestChartWidth / 101;
    for (uint32_t step = 0; step <= 100; ++step) {
        const float grey[3] = {step / 100.0f, step / 100.0f, step / 100.0f};
        FillRect(chart, step * stepWidth, kRampTop, stepWidth, kBandHeight, grey);
    }
    for (uint32_t x = 0; x < kTestChartWidth; ++x) {
        const double hue = double(x) / kTestChartWidth;
        float full[3], half[3];
        HsvToRgb(hue, 1.0, 1.0, full);
        HsvToRgb(hue, 0.5, 1.0, half);
        FillRect(chart, x, kRampTop + kBandHeight, 1, kBandHeight, full);
        FillRect(chart, x, kRampTop + 2 * kBandHeight, 1, kBandHeight, half);
        const double t = double(x) / (kTestChartWidth - 1);
        const float sky[3] = {static_cast<float>(0.10 + 0.20 * t),
                              static_cast<float>(0.20 + 0.30 * t),
                              static_cast<float>(0.35 + 0.45 * t)};
        FillRect(chart, x, kGradientTop, 1, kTestChartHeight - kGradientTop, sky);
    }
    return chart;
}
