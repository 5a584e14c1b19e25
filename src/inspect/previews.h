#pragma once

#include "inspect/float_image.h"

#include <cstdint>
#include <string>

// Pictures of a transform: a picture as it is and through the transform, side
// by side, as -preview writes them and a report's rows show them.

// The mark that every picture the program writes carries: a PNG text chunk.
inline constexpr const char* kPictureMarkKey = "Software";
inline constexpr const char* kPictureMarkValue = "Gradeshift";

// Before | after: the picture, and the picture through an n-point lattice over
// [0, 1] (red fastest), trilinear, values outside 0..1 clipped only for display.
FloatImage BeforeAndAfter(const FloatImage& picture, const float* lattice, uint32_t n);

// The test chart made small, for the rows of a report.
const FloatImage& ThumbnailChart();

// BeforeAndAfter of the small chart as an 8-bit PNG file's bytes with the mark;
// empty when it cannot be made.
std::string ThumbnailPng(const float* lattice, uint32_t n);
