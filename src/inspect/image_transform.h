#pragma once

#include "foundation/stop_request.h"
#include "inspect/float_image.h"

#include <cstddef>
#include <cstdint>

// A 3D lattice over [0, 1] on every axis: size³ nodes (size >= 2) of three
// floats, red fastest.
struct LatticeView {
    const float* values = nullptr;
    uint32_t size = 0;
};

// Takes `count` RGB colours through the lattice by trilinear interpolation.
// Inputs are clamped to [0, 1] first (NaN as 0), as OpenColorIO clamps the
// inputs of a 3D LUT to its domain. `out` may be `in`. The result is the same
// whatever `threadCount`. False once `stop` is requested: the colours not
// begun by then are left as they were.
bool ApplyLattice(const LatticeView& lattice, const float* in, float* out, size_t count,
                  uint32_t threadCount, const StopRequest* stop = nullptr);

// The picture made small enough to fit in maxWidth by maxHeight, keeping its
// shape: each new pixel is the mean of the source pixels it covers (a box
// filter). A picture that fits already is returned as it is.
FloatImage ShrinkToFit(const FloatImage& image, uint32_t maxWidth, uint32_t maxHeight);
