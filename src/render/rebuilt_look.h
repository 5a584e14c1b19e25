#pragma once

#include "foundation/vx_string.h"

#include <cstdint>

class CVxGradingParamStorage;
class CVxShapeMask;

// Replaces `out` with a complete new look document for the grading and its
// mask, with a 3D LUT of size3D points per axis rendered afresh (none for 0)
// and, for a grading that acts on each channel alone, a 1D LUT of size1D
// entries. A fresh engine renders each document. False, with `out` left as it
// was, when the 3D LUT could not be rendered.
bool WriteRebuiltLook(const CVxGradingParamStorage& grading, CVxString& out,
                      const CVxShapeMask* mask, uint32_t size3D, uint32_t size1D);
