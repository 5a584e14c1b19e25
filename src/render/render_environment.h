#pragma once

#include "foundation/stop_request.h"
#include "lut/lut_files.h"

class CVxShaderRegistry;

// What rendering needs of a run: the shaders of its installation, the LUT
// files that layers name, reached through the run's file access, and the
// request that the run's renders end early, if the run can be stopped.
struct RenderEnvironment {
    const CVxShaderRegistry& shaders;
    LutFiles luts;
    const StopRequest* stop = nullptr;
};
