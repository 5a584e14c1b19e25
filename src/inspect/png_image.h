#pragma once

#include "foundation/byte_sink.h"
#include "inspect/float_image.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A PNG file read into RGB values in [0, 1] as the file stores them (sample /
// 255 or / 65535, no gamma applied): 8 and 16 bits, grey, grey with alpha, RGB,
// RGBA, palette, interlaced or not; alpha and transparency are dropped.
struct PngReadResult {
    FloatImage image;
    // Empty on success; otherwise one of "not a PNG file", "the PNG image is too
    // large", "out of memory", or "the PNG file is damaged: " and libpng's reason.
    std::string error;
};
PngReadResult ReadPng(std::string_view bytes);

// The largest picture ReadPng takes, in pixels.
inline constexpr size_t kMaxPngPixels = size_t(1) << 27;

struct PngWriteOptions {
    // 8 or 16 bits per sample.
    int bitDepth = 8;
    // A tEXt chunk (Latin-1, key of 1 to 79 characters) when the key is not empty.
    std::string textKey, textValue;
};

// An RGB PNG marked as sRGB: values clipped to [0, 1] (NaN as 0) and rounded to
// the nearest code. False when libpng or the sink fails.
bool WritePng(const FloatImage& image, const PngWriteOptions& options, ByteSink& out);

// Row y of a picture being written, top first: `width` RGB pixels of three
// floats, valid until the next call.
using PngRows = std::function<const float*(uint32_t y)>;

// WritePng of a picture made a row at a time, never held whole.
bool WritePngRows(uint32_t width, uint32_t height, const PngRows& rows,
                  const PngWriteOptions& options, ByteSink& out);
