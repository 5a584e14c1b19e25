#pragma once

#include "foundation/vx_string.h"
#include "look/grading_params.h"
#include "look/shape_mask.h"

#include <cstdint>
#include <memory>

// A look read into memory: what rendering and rewriting it need.
struct ParsedLook {
    CVxGradingParamStorage grading;
    std::unique_ptr<CVxShapeMask> mask; // null when the look has none
    uint32_t storedSize = 0;            // size of the stored 3D LUT, 0 when none is stored
};

// Parses a look text; null when it is not a valid look.
std::unique_ptr<ParsedLook> ReadLook(const CVxString& text);
