#include "render/rebuilt_look.h"

#include "look/grading_params.h"
#include "look/look_writer.h"
#include "render/look_to_lut.h"

ERebuildResult WriteRebuiltLook(CVxSoftwareCompositingEngine& engine,
                                const CVxGradingParamStorage& grading, ByteSink& out,
                                const CVxShapeMask* mask, uint32_t size3D, uint32_t size1D,
                                const CVxString& lookFolder, ERenderFailure* renderFailure) {
    if (!CanWriteLookDocument(grading, mask))
        return ERebuildResult::eWriteFailed;
    RenderedLattice lattice, ramp;
    if (size3D != 0) {
        lattice = RenderLattice(engine, grading, {.size = size3D, .lookFolder = lookFolder});
        if (!lattice.nodes) {
            if (renderFailure)
                *renderFailure = lattice.failure;
            return ERebuildResult::eRenderFailed;
        }
    }
    if (size1D != 0 && grading.IsPerChannelOnly(false))
        ramp = RenderLattice(engine, grading,
                             {.size = size1D, .is3D = kLatticeRamp, .lookFolder = lookFolder});
    // The writer leaves out a LUT without data.
    return WriteLookDocument(out, grading, mask, lattice.nodes.get(), size3D, ramp.nodes.get(),
                             size1D)
               ? ERebuildResult::eWritten
               : ERebuildResult::eWriteFailed;
}
