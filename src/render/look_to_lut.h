#pragma once

#include "foundation/vx_string.h"
#include "render/compositing_engine.h"

#include <cstdint>

class CVxGradingParamStorage;

// Why a grading did not render into a lattice.
enum class ERenderFailure : uint8_t {
    eNone,
    eShaderMissing, // a layer names a shader without a definition or a kernel
    eLutMissing,    // a LUT file named by a layer or as the extra LUT did not load
    eRenderFailed,  // the engine failed for any other reason
    eOutOfMemory,   // there was no memory for the lattice or for the render
    eStopped,       // the render environment's stop was requested
};

// What RenderLattice renders, in the terms of RenderLookToLut's arguments.
struct LatticeRequest {
    uint32_t size = 0;                   // nodes per axis
    uint8_t is3D = kLatticeCube;         // or kLatticeRamp
    uint32_t latticeOrder = kRedFastest; // which channel varies fastest along the buffer
    CVxString extraLut = {};             // a LUT file applied after the grading, or empty
    // The folder of the look, where a LUT file that a layer names is looked
    // for last (ending in a backslash), or empty.
    CVxString lookFolder = {};
    // Told of the nodes as they are done, as RenderLookToLut tells them; may be null.
    const FinalNodes* finalNodes = nullptr;
};

struct RenderedLattice {
    RenderedLutBuffer nodes; // three floats per node; null when the render failed
    ERenderFailure failure = ERenderFailure::eNone;
};

// Renders the grading with RenderLookToLut into a buffer of its own. On
// failure the reason is taken from the engine, a missing shader before a
// missing LUT before anything else; a buffer that cannot be had is
// eOutOfMemory, whatever the engine's last error says.
RenderedLattice RenderLattice(CVxSoftwareCompositingEngine& engine,
                              const CVxGradingParamStorage& grading, const LatticeRequest& request);

// RenderLattice in two steps, for a caller that hands the buffer to a reader
// before the render: the buffer (null when memory runs out), then the render
// into it, which says why it failed, or eNone.
RenderedLutBuffer AllocateLattice(const LatticeRequest& request);
ERenderFailure RenderLatticeInto(CVxSoftwareCompositingEngine& engine,
                                 const CVxGradingParamStorage& grading,
                                 const LatticeRequest& request, float* nodes);
