#pragma once

#include "foundation/vx_string.h"
#include "lut/lut_files.h"
#include "render/look_to_lut.h"
#include "render/render_environment.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CVxLUT;

// A lattice that a LUT file gives as it stands: resampled rather than rendered.
// Any other LUT (a 1D table, a pre-LUT, another domain) is rendered through a
// look that wraps it.
bool IsUnitLattice(const CVxLUT& lut);

// The values of a file at an n-point lattice: n³ RGB triples, red fastest.
struct FileLattice {
    std::unique_ptr<float[]> rgb; // null when the file gave none
    std::string failure;          // why not, when rgb is null
    // For a file that could not be read or is no look or LUT file, the reason
    // in a few words (the system's reason, "empty file", "not a valid look: "
    // and the error with its line); empty when `failure` says it all.
    std::string cause;
    // A look that did not render and gave its stored LUT instead: why it did
    // not render (the LUT files not found or not loaded, the shaders not
    // installed). Empty otherwise.
    std::vector<std::string> fallbackReasons;
    // Why the look did not render, when it did not.
    ERenderFailure renderFailure = ERenderFailure::eNone;
};

// The reason a file gave no lattice, as precisely as it is known.
inline const std::string& FailureCause(const FileLattice& lattice) {
    return lattice.cause.empty() ? lattice.failure : lattice.cause;
}

// The values of a look or LUT file at an n-point lattice, as -to writes
// them: a look rendered, a LUT file applied at the nodes as tools apply it
// (EvaluateAtLattice, or OpenColorIO for its formats). A look that does not
// render gives its stored LUT, applied likewise, and says why; its failure
// when it has none, or when its render was stopped. Whether a path is a LUT
// file is told by its extension.
FileLattice LatticeOfFile(const RenderEnvironment& render, const CVxString& path, uint32_t n);
