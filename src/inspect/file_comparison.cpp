#include "inspect/file_comparison.h"

#include "foundation/parallel_bands.h"
#include "lut/lattice_evaluation.h"
#include "lut/load_failure.h"
#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"
#include "render/file_lattice.h"

#include <algorithm>

namespace {

// The nodes of the n-point lattice, then the centres of its cells, which are
// the nodes of a lattice of 2n - 1 points where every index is odd: the
// colours of MakeComparisonInputs(n), in that order.
LargeFloats NodesThenCentres(const float* fine, uint32_t n, const float* nodes) {
    const uint64_t m = 2 * uint64_t(n) - 1;
    const uint64_t nodeCount = uint64_t(n) * n * n;
    LargeFloats picked;
    picked.reserve((nodeCount + uint64_t(n - 1) * (n - 1) * (n - 1)) * 3);
    picked.assign(nodes, nodes + nodeCount * 3);
    for (uint32_t b = 0; b + 1 < n; ++b)
        for (uint32_t g = 0; g + 1 < n; ++g)
            for (uint32_t r = 0; r + 1 < n; ++r) {
                const uint64_t node = ((2 * uint64_t(b) + 1) * m + 2 * g + 1) * m + 2 * r + 1;
                picked.insert(picked.end(), fine + node * 3, fine + node * 3 + 3);
            }
    return picked;
}

// A file's values at the nodes and the cell centres.
struct FileValues {
    LargeFloats values;
    std::string failure;
    std::vector<std::string> fallbackReasons;
};

FileValues Failed(std::string failure) {
    FileValues failed;
    failed.failure = std::move(failure);
    return failed;
}

// A LUT at the n nodes of every axis, then at the n - 1 centres between them.
bool EvaluateNodesAndCentres(const CVxLUT& lut, uint32_t n, float* values) {
    const float half = 0.5f / static_cast<float>(n - 1);
    float* centres = values + uint64_t(n) * n * n * 3;
    return EvaluateAtLattice(lut, n, 0.0f, 1.0f, values) &&
           EvaluateAtLattice(lut, n - 1, half, 1.0f - half, centres);
}

// A LUT file is evaluated where it is asked.
FileValues LutFileValues(const LutFiles& luts, const CVxString& path, uint32_t n,
                         const LargeFloats& inputs) {
    FileValues result;
    result.values = LargeFloatVector(inputs.size());
    if (IsOcioLutFile(path)) {
        OcioFileTransform transform;
        std::copy(inputs.begin(), inputs.end(), result.values.begin());
        if (transform.Open(luts.files, path) &&
            transform.Apply(result.values.data(), result.values.size() / 3))
            return result;
    }
    CVxLUT lut;
    if (!lut.Load(luts, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true))
        return Failed(WhyNotALutFile(luts.files, path));
    if (!EvaluateNodesAndCentres(lut, n, result.values.data()))
        return Failed("Error loading LUT");
    return result;
}

// A look's layers may blur across its lattice, so its nodes are those of a
// render at the comparison's own size, as -to writes them, and its centres
// come from a render at 2n - 1, whose odd nodes they are.
FileValues LookValues(const RenderEnvironment& render, const CVxString& path, uint32_t n) {
    FileLattice fine = LatticeOfFile(render, path, 2 * n - 1);
    if (!fine.rgb)
        return Failed(FailureCause(fine));
    const FileLattice nodes = LatticeOfFile(render, path, n);
    if (!nodes.rgb)
        return Failed(FailureCause(nodes));
    FileValues result;
    result.values = NodesThenCentres(fine.rgb.get(), n, nodes.rgb.get());
    result.fallbackReasons = std::move(fine.fallbackReasons);
    return result;
}

FileValues ValuesOf(const RenderEnvironment& render, const CVxString& path, uint32_t n,
                    const LargeFloats& inputs) {
    return IsLutFile(path) ? LutFileValues(render.luts, path, n, inputs)
                           : LookValues(render, path, n);
}

} // namespace

std::optional<Comparison> CompareLuts(const CVxLUT& a, const CVxLUT& b, uint32_t size) {
    const LargeFloats inputs = MakeComparisonInputs(size);
    LargeFloats outputsA = LargeFloatVector(inputs.size());
    LargeFloats outputsB = LargeFloatVector(inputs.size());
    if (!EvaluateNodesAndCentres(a, size, outputsA.data()) ||
        !EvaluateNodesAndCentres(b, size, outputsB.data()))
        return std::nullopt;
    const ComparisonData data{inputs.data(), outputsA.data(), outputsB.data(), inputs.size() / 3,
                              ComparisonNodeCount(size)};
    return CompareOutputs(data, ComparisonTolerance{}, DefaultThreadCount());
}

FileComparison CompareFiles(const RenderEnvironment& render, const CVxString& a, const CVxString& b,
                            uint32_t size, const ComparisonTolerance& tolerance) {
    FileComparison result;
    const LargeFloats inputs = MakeComparisonInputs(size);
    FileValues valuesA = ValuesOf(render, a, size, inputs);
    if (!valuesA.failure.empty()) {
        result.failedFile = a;
        result.failure = valuesA.failure;
        return result;
    }
    FileValues valuesB = ValuesOf(render, b, size, inputs);
    if (!valuesB.failure.empty()) {
        result.failedFile = b;
        result.failure = valuesB.failure;
        return result;
    }
    if (StopRequested(render.stop)) {
        result.failure = "stopped";
        return result;
    }
    result.fallbackA = std::move(valuesA.fallbackReasons);
    result.fallbackB = std::move(valuesB.fallbackReasons);
    const LargeFloats& outputsA = valuesA.values;
    const LargeFloats& outputsB = valuesB.values;
    const ComparisonData data{inputs.data(), outputsA.data(), outputsB.data(), inputs.size() / 3,
                              ComparisonNodeCount(size)};
    result.comparison = CompareOutputs(data, tolerance, DefaultThreadCount());
    return result;
}
