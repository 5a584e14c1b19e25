#pragma once

#include "foundation/byte_sink.h"
#include "inspect/float_image.h"

#include <cstdint>
#include <string>

// Pictures of a transform: a picture as it is and through the transform, side
// by side, as -preview writes them and a report's rows show them.

// The mark that every picture the program writes carries: a PNG text chunk.
inline constexpr const char* kPictureMarkKey = "Software";
inline constexpr const char* kPictureMarkValue = "Gradeshift";

// Width between the two halves of a side-by-side picture, filled with mid grey.
inline constexpr uint32_t kSideBySideGap = 4;

// Before | after as an 8-bit PNG with the mark: the picture, and the picture
// through an n-point lattice over [0, 1] (red fastest), trilinear, values
// outside 0..1 clipped only for display. False when the sink fails.
bool WriteBeforeAndAfterPng(const FloatImage& picture, const float* lattice, uint32_t n,
                            ByteSink& out);

// The test chart made small, for the rows of a report.
const FloatImage& ThumbnailChart();

// WriteBeforeAndAfterPng of the small chart as a PNG file's bytes; empty when
// it cannot be made.
std::string ThumbnailPng(const float* lattice, uint32_t n);
