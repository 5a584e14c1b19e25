#pragma once

#include "lut/lut_files.h"

class CVxShaderRegistry;

// What rendering needs of a run: the shaders of its installation and the LUT
// files that layers name, reached through the run's file access.
struct RenderEnvironment {
    const CVxShaderRegistry& shaders;
    LutFiles luts;
};
