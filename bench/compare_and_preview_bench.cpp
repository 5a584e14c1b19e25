// Speed of the comparison and preview paths that run on large inputs: comparing two
// 65-point lattices at size 65 (evaluating both at the nodes and cell centres,
// then the figures), and applying a 65-point lattice to a 1920 by 1080 picture.
// Each reports milliseconds per operation ("ms"); the comparison also reports
// its time relative to loading one 65-point cube file ("x_load_cube65").
// Whole runs: `gradeshift -compare a.cube b.cube -size 65` of two 65-point cube
// files against converting each with `gradeshift X.cube -cubrel`, one run
// after the other ("x_two_cubrel"; the goal is at most 1), best of five.
// `-preview` of a look with saturation at 65 points against `-to cube -size
// 65` of the same look ("x_to_cube"; the goal is at most 1.5), and `-preview
// -report` over 200 looks against `-preview` alone ("x_previews"; at most
// 1.1), each pair in turn.

#include "foundation/parallel_bands.h"
#include "inspect/comparison.h"
#include "inspect/image_transform.h"
#include "inspect/previews.h"
#include "lut/lut.h"

#include "../tests/support/look_text.h"
#include "../tests/support/scratch_folder.h"
#include "../tests/support/system_luts.h"
#include "memcpy_ratio.h"
#include "side_by_side.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
        const LargeFloats inputs = MakeComparisonInputs(n);
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

// The best of five whole runs of each command, one after the other.
double BestOfFive(const std::vector<std::string>& commands) {
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const Clock::time_point start = Clock::now();
        for (const std::string& command : commands) {
            // Exit code 0, or 2 for a comparison beyond its tolerance.
            const int status = std::system(command.c_str());
            if (status != 0 && status != 2 * 256)
                return -1;
        }
        best = std::min(best, SecondsSince(start));
    }
    return best;
}

void BM_WholeRunCompareAgainstTwoConversions(benchmark::State& state) {
    const ScratchFolder scratch;
    std::string texts[2];
    for (int file = 0; file < 2; ++file) {
        texts[file] = "LUT_3D_SIZE 65\n";
        const std::vector<float> lattice = MakeLattice(65, file * 0.002f);
        char line[80];
        for (size_t i = 0; i < lattice.size(); i += 3)
            texts[file].append(line, static_cast<size_t>(std::snprintf(
                                         line, sizeof line, "%.6f %.6f %.6f\n", lattice[i],
                                         lattice[i + 1], lattice[i + 2])));
    }
    const std::string a = scratch.Write("a.cube", texts[0]), b = scratch.Write("b.cube", texts[1]);
    scratch.Folder("out");
    const std::string program = GRADESHIFT_BINARY_DIR "/bin/gradeshift ";
    const std::string quiet = " > /dev/null 2>&1";
    double compare = 0, convert = 0;
    for (auto _ : state) {
        compare = BestOfFive({program + "-compare '" + a + "' '" + b + "' -size 65" + quiet});
        convert = BestOfFive(
            {program + "'" + a + "' -cubrel -out '" + scratch.Posix("out") + "'" + quiet,
             program + "'" + b + "' -cubrel -out '" + scratch.Posix("out") + "'" + quiet});
    }
    if (compare < 0 || convert < 0) {
        state.SkipWithError("a run failed");
        return;
    }
    state.counters["compare_ms"] = compare * 1000.0;
    state.counters["two_cubrel_ms"] = convert * 1000.0;
    state.counters["x_two_cubrel"] = compare / convert;
}
BENCHMARK(BM_WholeRunCompareAgainstTwoConversions)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ThumbnailPng(benchmark::State& state) {
    const std::vector<float> lattice = MakeLattice(65, 0.0f);
    size_t bytes = 0;
    for (auto _ : state)
        bytes = ThumbnailPng(lattice.data(), 65).size();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_ThumbnailPng)->Unit(benchmark::kMillisecond);

const std::string kProgram = GRADESHIFT_BINARY_DIR "/bin/gradeshift ";
const std::string kQuiet = " > /dev/null 2>&1";

std::string GradeWithSaturation(int variant) {
    return BaseLook(Parameter("Gain.X", std::to_string(0.05 + 0.001 * variant)) +
                    Parameter("Gamma.X", "-0.05") + Parameter("Saturation", "0.7"));
}

void BM_PreviewAgainstToCube65(benchmark::State& state) {
    const ScratchFolder scratch;
    const std::string look = scratch.Write("grade.look", GradeWithSaturation(0));
    const std::string preview = kProgram + "'" + look + "' -preview -overwrite" + kQuiet;
    const std::string cube = kProgram + "'" + look + "' -to cube -size 65 -overwrite" + kQuiet;
    SideBySideTimes times;
    if (TimeSideBySide(
            state, [] {}, [&] { return std::system(preview.c_str()) == 0; },
            [&] { return std::system(cube.c_str()) == 0; }, times))
        ReportSideBySide(state, times, "to_cube");
}
BENCHMARK(BM_PreviewAgainstToCube65)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReportOver200Looks(benchmark::State& state) {
    const ScratchFolder scratch;
    scratch.Folder("looks");
    for (int i = 0; i < 200; ++i)
        scratch.Write("looks/grade" + std::to_string(i) + ".look", GradeWithSaturation(i));
    const std::string folder = "'" + scratch.Posix("looks") + "'";
    const std::string previews = kProgram + folder + " -preview" + kQuiet;
    const std::string report =
        kProgram + folder + " -preview -report '" + scratch.Posix("report.html") + "'" + kQuiet;
    SideBySideTimes times;
    if (TimeSideBySide(
            state, [] {}, [&] { return std::system(report.c_str()) == 0; },
            [&] { return std::system(previews.c_str()) == 0; }, times))
        ReportSideBySide(state, times, "previews");
}
BENCHMARK(BM_ReportOver200Looks)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
