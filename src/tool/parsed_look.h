#pragma once

#include "look/grading_params.h"
#include "look/shape_mask.h"

#include <memory>

// A look read into memory for one file: its grading and its shape mask (null
// when the look has none). Released before the next file.
class ParsedLook {
public:
    CVxGradingParamStorage grading;
    std::unique_ptr<CVxShapeMask> mask;
};
