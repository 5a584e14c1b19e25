#pragma once

#include "foundation/byte_sink.h"
#include "foundation/vx_string.h"
#include "render/look_to_lut.h"

#include <cstdint>

class CVxGradingParamStorage;
class CVxShapeMask;
class CVxSoftwareCompositingEngine;

enum class ERebuildResult : uint8_t {
    eWritten,
    eRenderFailed, // nothing reached the sink, unless the render was stopped
    eWriteFailed,  // the sink failed part way, or nothing could be written
};

// Streams a complete new look document for the grading and its mask into
// `out`, with a 3D LUT of size3D points per axis rendered afresh by the engine
// (none for 0) and, for a grading that acts on each channel alone,
// a 1D LUT of size1D entries (left out when its render fails). Everything is
// rendered before the first byte goes out, so a sink that opens its file on
// the first byte leaves the file alone when the 3D LUT does not render. A
// grading or mask that cannot be written as a document that reads back the
// same is refused as a failed write, before anything is rendered or written.
// LUT files that the grading names and no other place holds are looked for in
// `lookFolder` (ending in a backslash; empty for nowhere). When the 3D LUT does
// not render, `renderFailure` (when given) receives why, as RenderLattice tells it.
// A render that is stopped (RenderEnvironment::stop) may end after bytes went
// out: it is eRenderFailed all the same, and what the sink holds is not to be
// kept (an output is not committed).
ERebuildResult WriteRebuiltLook(CVxSoftwareCompositingEngine& engine,
                                const CVxGradingParamStorage& grading, ByteSink& out,
                                const CVxShapeMask* mask, uint32_t size3D, uint32_t size1D,
                                const CVxString& lookFolder = CVxString(),
                                ERenderFailure* renderFailure = nullptr);
