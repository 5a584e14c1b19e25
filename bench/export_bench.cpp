// Writing a 65-point .cube: OpenColorIO's ociobakelut baking a CDL into a
// Resolve cube (its whole run), and our cube writer writing a 65-point
// lattice into a file. The writer's case reports its time as a ratio of the
// ociobakelut run ("x_ociobakelut"), which must stay at most 0.25.

#include "foundation/file_access.h"
#include "lut/lut_writers.h"

#include "../tests/support/scratch_folder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSize = 65;

const char kCdl[] = "<ColorCorrection id=\"bench\">\n"
                    "<SOPNode><Slope>1.1 0.9 1.0</Slope><Offset>-0.05 0.02 0</Offset>"
                    "<Power>0.8 1.0 1.2</Power></SOPNode>\n"
                    "<SatNode><Saturation>1</Saturation></SatNode>\n"
                    "</ColorCorrection>\n";

double g_bakeSeconds = 0;

template <typename Run> double Timed(benchmark::State& state, Run run) {
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!run()) {
            state.SkipWithError("the run failed");
            return 0;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double seconds = total / double(state.iterations());
    state.counters["s"] = seconds;
    return seconds;
}

void BM_OciobakelutResolveCube65(benchmark::State& state) {
    const ScratchFolder folder;
    folder.Write("grade.cc", kCdl);
    const std::string command = "env -u OCIO ociobakelut --lut '" + folder.Posix("grade.cc") +
                                "' --format resolve_cube --cubesize 65 '" +
                                folder.Posix("out.cube") + "' > /dev/null 2>&1";
    g_bakeSeconds = Timed(state, [&] { return std::system(command.c_str()) == 0; });
}

// The same grade as a lattice, written as a file through the file access as
// the program writes its outputs.
void BM_WriteCube65(benchmark::State& state) {
    const ScratchFolder folder;
    std::vector<float> lattice;
    lattice.reserve(size_t(kSize) * kSize * kSize * 3);
    for (uint32_t b = 0; b < kSize; ++b)
        for (uint32_t g = 0; g < kSize; ++g)
            for (uint32_t r = 0; r < kSize; ++r)
                for (const uint32_t i : {r, g, b})
                    lattice.push_back(0.95f * float(i) / float(kSize - 1) + 0.01f);
    LutToWrite lut;
    lut.table.values = lattice.data();
    lut.table.size = kSize;
    lut.table.is3D = true;
    SystemFileAccess files;
    const CVxString path(folder.Drive("out.cube").c_str());
    const double seconds = Timed(state, [&] {
        const auto out = files.Replace(path);
        return WriteCubeLut(lut, *out) && out->Commit();
    });
    if (g_bakeSeconds > 0)
        state.counters["x_ociobakelut"] = seconds / g_bakeSeconds;
}

// ociobakelut runs first, so that the writer's ratio can be printed.
BENCHMARK(BM_OciobakelutResolveCube65)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteCube65)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
