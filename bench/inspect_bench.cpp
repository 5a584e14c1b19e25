// Speed of the inspection paths that run on large inputs: comparing two
// 65-point lattices at size 65 (evaluating both at the nodes and cell centres,
// then the figures), and applying a 65-point lattice to a 1920 by 1080 picture.
// Each reports milliseconds per operation ("ms"); the comparison also reports
// its time relative to loading one 65-point cube file ("x_load_cube65"), since
// a comparison of two such files should cost no more than converting both,
// whose time is mostly their loading.

#include "foundation/parallel_bands.h"
#include "inspect/comparison.h"
#include "inspect/image_transform.h"
#include "lut/lut.h"

#include "../tests/support/scratch_folder.h"
#include "../tests/support/system_luts.h"
#include "memcpy_ratio.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A smooth lattice of n points per axis; `bend` makes two of them differ a little.
std::vector<float> MakeLattice(uint32_t n, float bend) {
    std::vector<float> lattice;
    lattice.reserve(size_t(n) * n * n * 3);
    for (uint32_t b = 0; b < n; ++b)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t r = 0; r < n; ++r) {
                const float x = r / float(n - 1), y = g / float(n - 1), z = b / float(n - 1);
                lattice.push_back(std::pow(x, 1.0f + bend) * 0.9f + z * 0.1f);
                lattice.push_back(y * y * (1.0f - bend) + bend * x);
                lattice.push_back(1.0f - z * (0.8f + bend));
            }
    return lattice;
}

// The time of loading a 65-point cube file with six decimals per value.
double LoadCube65Seconds() {
    const ScratchFolder scratch;
    std::string text = "LUT_3D_SIZE 65\n";
    const std::vector<float> lattice = MakeLattice(65, 0.0f);
    char line[80];
    for (size_t i = 0; i < lattice.size(); i += 3) {
        const int length = std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", lattice[i],
                                         lattice[i + 1], lattice[i + 2]);
        text.append(line, static_cast<size_t>(length));
    }
    const CVxString path(scratch.Write("bench65.cube", text).c_str());
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        CVxLUT lut;
        const Clock::time_point start = Clock::now();
        lut.Load(SystemLuts::Plain(), path, false, CVxLUT::EDimensionRequirement::eAnyDimension,
                 false);
        best = std::min(best, SecondsSince(start));
    }
    return best;
}

void BM_CompareLattices65(benchmark::State& state) {
    const uint32_t n = 65;
    const std::vector<float> latticeA = MakeLattice(n, 0.0f);
    const std::vector<float> latticeB = MakeLattice(n, 0.002f);
    const uint32_t threads = DefaultThreadCount();
    double total = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const std::vector<float> inputs = MakeComparisonInputs(n);
        const size_t count = inputs.size() / 3;
        std::vector<float> a(inputs.size()), b(inputs.size());
        ApplyLattice({latticeA.data(), n}, inputs.data(), a.data(), count, threads);
        ApplyLattice({latticeB.data(), n}, inputs.data(), b.data(), count, threads);
        const Comparison result = CompareOutputs(
            {inputs.data(), a.data(), b.data(), count, ComparisonNodeCount(n)}, {}, threads);
        total += SecondsSince(start);
        benchmark::DoNotOptimize(result.all.deltaE.mean);
    }
    const double perOperation = total / static_cast<double>(state.iterations());
    state.counters["ms"] = perOperation * 1000.0;
    state.counters["x_load_cube65"] = perOperation / LoadCube65Seconds();
}
BENCHMARK(BM_CompareLattices65)->Unit(benchmark::kMillisecond);

void BM_ApplyLattice65ToHd(benchmark::State& state) {
    const uint32_t n = 65;
    const std::vector<float> lattice = MakeLattice(n, 0.0f);
    const size_t pixels = 1920 * 1080;
    std::vector<float> picture(pixels * 3), out(pixels * 3);
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = float((i * 2654435761u) % 1000) / 999.0f;
    double total = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        ApplyLattice({lattice.data(), n}, picture.data(), out.data(), pixels, DefaultThreadCount());
        total += SecondsSince(start);
        benchmark::DoNotOptimize(out.data());
    }
    Report(state, total, picture.size() * sizeof(float));
}
BENCHMARK(BM_ApplyLattice65ToHd)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
