// Whole runs side by side with OpenColorIO's ociobakelut. Taking a look to a
// .cube against ociobakelut baking a CDL into a Resolve cube; the program's
// start alone (--version) against the 1D bake; a 65-point cube to a 17-point
// Cubrel LUT against ociobakelut taking it to a 17-point cube. For a CDL of
// saturation 1 ociobakelut writes a 1D cube (65 entries); with saturation it
// writes a 65-point lattice. So each kind is measured against its like: a
// per-channel look to -to resolve-cube (a 1D cube) against the first, a look
// with saturation to -to cube (a 65-point 3D cube) against the second. The two
// runs of a kind take turns five times, and the best time of the program's is
// reported as a ratio of the best of ociobakelut's ("x_ociobakelut"; the goal
// is at most 0.2 for the lattice; see side_by_side.h). The cube writer alone,
// writing a 65-point lattice into a file, is reported against the lattice bake
// too.

#include "foundation/file_access.h"
#include "lut/lut_writers.h"

#include "../tests/support/look_text.h"
#include "../tests/support/scratch_folder.h"
#include "side_by_side.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSize = 65;

std::string Cdl(const char* saturation) {
    return std::string("<ColorCorrection id=\"bench\">\n"
                       "<SOPNode><Slope>1.1 0.9 1.0</Slope><Offset>-0.05 0.02 0</Offset>"
                       "<Power>0.8 1.0 1.2</Power></SOPNode>\n"
                       "<SatNode><Saturation>") +
           saturation + "</Saturation></SatNode>\n</ColorCorrection>\n";
}

// The best ociobakelut times, by argument: 0 for the 1D bake, 1 for the lattice.
double g_bakeSeconds[2] = {0, 0};

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

void BM_LookToCube65(benchmark::State& state) {
    const bool perChannel = state.range(0) == 0;
    const ScratchFolder folder;
    folder.Write("grade.cc", Cdl(perChannel ? "1" : "0.7"));
    folder.Write("grade.look", BaseLook(Parameter("Gain.X", "0.1") + Parameter("Gamma.X", "-0.05") +
                                        (perChannel ? "" : Parameter("Saturation", "0.7"))));
    const std::string bake = "env -u OCIO ociobakelut --lut '" + folder.Posix("grade.cc") +
                             "' --format resolve_cube --cubesize 65 '" + folder.Posix("out.cube") +
                             "' > /dev/null 2>&1";
    // -to cube writes every transform as a 3D table; -to resolve-cube writes the 1D table.
    const std::string command = std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift '" +
                                folder.Posix("grade.look") + "' -to " +
                                (perChannel ? "resolve-cube" : "cube") + " -size 65 > /dev/null";
    SideBySideTimes times;
    if (TimeSideBySide(
            state, [] {}, [&] { return std::system(command.c_str()) == 0; },
            [&] { return std::system(bake.c_str()) == 0; }, times)) {
        g_bakeSeconds[state.range(0)] = times.peerBest;
        ReportSideBySide(state, times, "ociobakelut");
    }
    state.SetLabel(perChannel ? "per-channel look, 1D cube" : "look with saturation, 3D cube");
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
    if (g_bakeSeconds[1] > 0)
        state.counters["x_ociobakelut"] = seconds / g_bakeSeconds[1];
}

// A 65-point cube of six decimals a value, 7 MB of text, converted to a
// 17-point Cubrel LUT by the program and to a 17-point Resolve cube by
// ociobakelut: reading the text is most of either job (goal: at most 0.08).
std::string Cube65Text() {
    std::string text = "TITLE \"bench\"\nLUT_3D_SIZE 65\n";
    char line[80];
    for (uint32_t b = 0; b < kSize; ++b)
        for (uint32_t g = 0; g < kSize; ++g)
            for (uint32_t r = 0; r < kSize; ++r) {
                const double x = r / 64.0, y = g / 64.0, z = b / 64.0;
                const int length =
                    std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", 0.8 * x * x + 0.2 * y,
                                  0.5 * (y + z * z), 0.9 * z + 0.1 * x * y);
                text.append(line, size_t(length));
            }
    return text;
}

void BM_Cube65ToCubrel17(benchmark::State& state) {
    const ScratchFolder folder;
    folder.Write("grade.cube", Cube65Text());
    folder.Folder("out");
    const std::string bake = "env -u OCIO ociobakelut --lut '" + folder.Posix("grade.cube") +
                             "' --format resolve_cube --cubesize 17 '" + folder.Posix("out.cube") +
                             "' > /dev/null 2>&1";
    const std::string command = std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift '" +
                                folder.Posix("grade.cube") + "' -cubrel -size 17 -out '" +
                                folder.Posix("out") + "' > /dev/null";
    SideBySideTimes times;
    if (TimeSideBySide(
            state, [] {}, [&] { return std::system(command.c_str()) == 0; },
            [&] { return std::system(bake.c_str()) == 0; }, times))
        ReportSideBySide(state, times, "ociobakelut");
    state.SetLabel("65-point cube to a 17-point Cubrel LUT (ociobakelut: to a 17-point cube)");
}

// A run that needs no OpenColorIO, against ociobakelut's 1D bake (goal: below 1).
void BM_Version(benchmark::State& state) {
    const std::string command =
        std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift --version > /dev/null";
    const double seconds = Timed(state, [&] { return std::system(command.c_str()) == 0; });
    if (g_bakeSeconds[0] > 0)
        state.counters["x_ociobakelut"] = seconds / g_bakeSeconds[0];
}

// The looks run (with their bakes) before the writer, whose ratio needs the lattice bake.
BENCHMARK(BM_LookToCube65)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_WriteCube65)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Version)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Cube65ToCubrel17)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
