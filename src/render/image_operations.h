#pragma once

#include <cstdint>
#include <memory>

class RenderImage;

// The image work behind the pipeline's transform and blend operators, on
// whole images of 3 or 4 channels. The engine keeps the stack and the errors.

// Mirrors the image left to right, or top to bottom when `vertical`.
void FlipImage(RenderImage& image, bool vertical);

// An image of width by height with the source's channels, whose pixel centres
// (x, y) read the source at u = m0 x + m1 y + m2, v = m3 x + m4 y + m5 by
// nearest pixel; what falls outside the source is transparent. Null when
// memory runs out.
std::unique_ptr<RenderImage> ResampleImage(const RenderImage& source, const double matrix[6],
                                           uint32_t width, uint32_t height);

// The edge of the output area that "*stretch" places an image against.
enum class EStretchAlignment : uint8_t { eLeft, eRight, eTop, eBottom };

// The matrix that ResampleImage takes to scale the image into width by height,
// from fitted with its aspect kept (amount 0) to filling it (1), placed
// against `alignment` and centred along the other axis.
void StretchMatrix(const RenderImage& image, uint32_t width, uint32_t height, double amount,
                   EStretchAlignment alignment, double matrix[6]);

// How "*over", "*overp" and "*fade" combine the upper image with the lower.
enum class EBlendMode : uint8_t { eOver, eOverPremultiplied, eFade };

// Blends `upper`, fitted to the size of `lower` by nearest pixel, into `lower`;
// `amount` is the share of the upper image in a fade. False when memory runs out.
bool BlendImages(EBlendMode mode, float amount, const RenderImage& upper, RenderImage& lower);

// Copies `source` into `target`, fitted to the target's size by nearest pixel.
// False when memory runs out.
bool FitImageInto(const RenderImage& source, RenderImage& target);
