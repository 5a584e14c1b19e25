#pragma once

#include "foundation/vx_string.h"
#include "inspect/comparison.h"
#include "render/render_environment.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CVxLUT;

// Two files compared: the comparison, or which file could not be evaluated and why.
struct FileComparison {
    std::optional<Comparison> comparison;
    CVxString failedFile;
    // Why the failed file gave no values, in a few words: the system's reason,
    // "empty file", "not a valid look: " and the error with its line, ...
    std::string failure;
    // A look that did not render is compared by its stored LUT: why it did not
    // render, for each of the two (empty when it did).
    std::vector<std::string> fallbackA, fallbackB;
};

// Evaluates both files as -to does (a look rendered, or its stored LUT; a LUT
// file applied at the nodes as tools apply it) at the nodes and the cell
// centres of a lattice of `size` points per axis, and compares them; no
// comparison, and no file named, when the render environment's stop was
// requested before the comparison began.
// Two LUTs (a look's stored LUT before and after a rebuild, say) compared as
// two LUT files are; none when either holds no entries.
std::optional<Comparison> CompareLuts(const CVxLUT& a, const CVxLUT& b, uint32_t size);

FileComparison CompareFiles(const RenderEnvironment& render, const CVxString& a, const CVxString& b,
                            uint32_t size, const ComparisonTolerance& tolerance);
