#pragma once

#include "foundation/vx_string.h"

// The minimal look that applies one LUT file, named without a folder.
CVxString WrapLutInLook(const CVxString& lutFileName);
