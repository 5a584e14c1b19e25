#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"
#include "render/look_to_lut.h"
#include "tool/run_environment.h"

#include <cstdint>
#include <memory>
#include <string>

class CVxLUT;

// A lattice that a LUT file gives as it stands: resampled rather than rendered.
// Any other LUT (a 1D table, a pre-LUT, another domain) is rendered through a
// look that wraps it.
bool IsUnitLattice(const CVxLUT& lut);

// Why a look did not render, in the words of a file's messages.
const char* RenderFailureCause(ERenderFailure failure);

// The values of a file at an n-point lattice: n³ RGB triples, red fastest.
struct FileLattice {
    std::unique_ptr<float[]> rgb; // null when the file gave none
    std::string failure;          // why not, when rgb is null
};

// The values of a look or LUT file at an n-point lattice, those that Cubrel
// mode writes for it: a look rendered, an OpenColorIO file applied at the
// nodes, a lattice over [0, 1] resampled, any other LUT rendered through the
// look that wraps it. A look that does not render gives its stored LUT,
// resampled; its failure when it has none.
FileLattice LatticeOfFile(const RunEnvironment& environment, FileAccess& files,
                          const CVxString& path, uint32_t n);
