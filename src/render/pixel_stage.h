#pragma once

#include "lut/lut.h"

#include <cstddef>
#include <cstdint>

class ShaderScript;

// A LUT bound to a texture unit, seen the way a shader samples it: the input is
// mapped by scale and offset onto texel centres, then the 1D part is applied per
// channel and the 3D part is sampled trilinearly. Either part may be absent.
struct LutTexture {
    const CVxLUT* oneD = nullptr;   // the pre-LUT, or the LUT itself when it is a 1D table
    const CVxLUT* threeD = nullptr; // the lattice, when the LUT is 3D
    float scale[4] = {1, 1, 1, 1};  // texture-domain scale (w is 1)
    float offset[4] = {0, 0, 0, 0}; // texture-domain offset (w is 0)
};

// The rows of a definition's `lut` element: rowCount rows of 1024 RGBA entries.
struct LookupRows {
    const float* data = nullptr;
    uint32_t rowCount = 0;
};

inline constexpr uint32_t kTextureUnits = 16;

// What a layer's pixel stage is set up from, once per layer and render. The
// stage keeps pointers to the textures, their LUTs and the lookup rows, so they
// must outlive it.
struct PixelStageSetup {
    const ShaderScript* script = nullptr;           // working values after the script ran
    const LutTexture* textures[kTextureUnits] = {}; // by texture unit, null when empty
    LookupRows lookups[kTextureUnits] = {};         // by texture unit, empty when none
};

// Read-only RGBA float rows, for stages that read neighbouring pixels.
struct RgbaRows {
    const float* data = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    size_t rowStride = 0; // floats from the start of one row to the next

    const float* Row(uint32_t y) const { return data + y * rowStride; }
};

// One pass of one layer, set up once and then run over whole rows. The engine
// may run rows of one image on several threads at once, so the row calls are
// const and keep no state between calls.
class PixelStage {
public:
    virtual ~PixelStage() = default;

    // True when every pixel leaves the pass bit for bit as it came: the engine
    // may skip the pass.
    virtual bool IsIdentity() const { return false; }
    // The kernel variant chosen at set-up, for diagnostics and tests.
    virtual const char* KernelName() const { return ""; }

    // True when the pass reads neighbouring pixels: the engine then calls
    // ProcessRowWithNeighbours with the whole source image instead of ProcessRow.
    virtual bool ReadsNeighbours() const { return false; }
    // `width` RGBA pixels from `in` to `out`; the two may be the same row.
    virtual void ProcessRow(const float* in, float* out, uint32_t width) const {
        if (in != out)
            for (size_t i = 0; i < size_t(width) * 4; ++i)
                out[i] = in[i];
    }
    // True when the pass offers ProcessRgbRow: an image of three floats a
    // pixel (a rendered lattice) then goes through it in place, without
    // being widened to RGBA and back.
    virtual bool ProcessesRgbRows() const { return false; }
    // `width` RGB pixels from `in` to `out` (the two may be the same row), as
    // ProcessRow would give them for pixels of alpha 1. Called only when
    // ProcessesRgbRows says so.
    virtual void ProcessRgbRow(const float*, float*, uint32_t) const {}
    // Row y of `source` into `out` (source.width RGBA pixels); `out` must not
    // lie inside `source`.
    virtual void ProcessRowWithNeighbours(const RgbaRows& source, uint32_t y, float* out) const {
        ProcessRow(source.Row(y), out, source.width);
    }
};
