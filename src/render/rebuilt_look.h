#pragma once

#include "foundation/byte_sink.h"
#include "foundation/vx_string.h"

#include <cstdint>
#include <memory>

class CVxGradingParamStorage;
class CVxShapeMask;

// The LUTs of a rebuilt look, rendered by a fresh engine: the 3D lattice and,
// for a grading that acts on each channel alone, the 1D ramp.
class RebuiltLook {
public:
    RebuiltLook();
    ~RebuiltLook();

    // False when the 3D lattice could not be rendered, or when the grading or
    // mask cannot be written as a document that reads back the same. A ramp
    // that does not render only leaves the 1D LUT out.
    bool Render(const CVxGradingParamStorage& grading, const CVxShapeMask* mask, uint32_t size3D,
                uint32_t size1D);
    // The whole document, streamed to the sink; false when the sink fails.
    bool Write(ByteSink& out, const CVxGradingParamStorage& grading,
               const CVxShapeMask* mask) const;

private:
    friend bool WriteRebuiltLook(const CVxGradingParamStorage& grading, CVxString& out,
                                 const CVxShapeMask* mask, uint32_t size3D, uint32_t size1D);
    struct Releaser {
        void operator()(float* buffer) const;
    };
    std::unique_ptr<float, Releaser> m_lattice;
    std::unique_ptr<float, Releaser> m_ramp;
    uint32_t m_size3D = 0;
    uint32_t m_size1D = 0;
};

// Replaces `out` with a complete new look document for the grading and its
// mask, with a 3D LUT of size3D points per axis rendered afresh (none for 0)
// and, for a grading that acts on each channel alone, a 1D LUT of size1D
// entries. False, with `out` left as it was, when the 3D LUT could not be
// rendered or the document could not be written.
bool WriteRebuiltLook(const CVxGradingParamStorage& grading, CVxString& out,
                      const CVxShapeMask* mask, uint32_t size3D, uint32_t size1D);
