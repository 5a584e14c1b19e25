// A batch on every core: 200 looks, each with a 64-point stored LUT, converted
// to 65-point Cubrel LUTs by the whole program, with -jobs 1 and by default
// (every core); and 20 CLF files (a CDL, then a 33-point 3D LUT), read through
// OpenColorIO into 129-point Cubrel LUTs, with -jobs 1 and -jobs 2 in turn.
// Reports the whole-run times and, for the default and for -jobs 2, the ratio
// to -jobs 1 ("x_jobs1"). And 300, then 3000 small cube files converted into
// an empty folder, whose time a file must not grow with the folder: the 3000's
// against the 300's ("x_per_file_300", at most about 1; every output name is
// looked up without regard to case in the folder it fills).

#include "foundation/byte_sink.h"
#include "look/look_writer.h"

#include "../tests/support/look_text.h"
#include "../tests/support/scratch_folder.h"
#include "clf_sample.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kLooks = 200;
constexpr uint32_t kStoredSize = 64;

// A per-channel grade with its baked LUT, as a rebuilt look stores it.
std::string StoredLook() {
    const uint64_t entries = uint64_t(kStoredSize) * kStoredSize * kStoredSize;
    std::vector<float> lattice(entries * 3);
    for (size_t i = 0; i < lattice.size(); ++i)
        lattice[i] = float(i % 997) / 996.0f;
    CVxString element;
    StringSink sink(element);
    WriteLutElement(sink, "LUT", kStoredSize, lattice.data(), entries);
    return BaseLook(Parameter("Gain.X", "0.15") + Parameter("Gamma.X", "-0.05") +
                        Parameter("Contrast", "0.2"),
                    element.c_str());
}

// A CDL, then a 33-point 3D LUT with crosstalk.
std::string ProcessList() {
    return ClfWithLattice("<ASC_CDL inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"Fwd\">\n"
                          "<SOPNode><Slope>1.1 0.9 1.0</Slope><Offset>-0.05 0.02 0</Offset>"
                          "<Power>0.8 1.0 1.2</Power></SOPNode>\n"
                          "<SatNode><Saturation>0.7</Saturation></SatNode>\n</ASC_CDL>\n");
}

// Runs the command once; every input NAME.EXT must have become NAME.lut,
// which is removed so that the next run starts afresh. The whole-run seconds,
// or -1 after a failure, which ends the benchmark with an error.
double TimeRun(benchmark::State& state, const ScratchFolder& folder, const std::string& command,
               const std::string& prefix, int count) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError("gradeshift failed");
        return -1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int converted = 0;
    for (int i = 0; i < count; ++i)
        converted += std::filesystem::remove(folder.Posix(prefix + std::to_string(i) + ".lut"));
    if (converted != count) {
        state.SkipWithError("a file was not converted");
        return -1;
    }
    return seconds;
}

// The mean whole-run seconds of the benchmark's runs of the command (see TimeRun).
double MeanRunSeconds(benchmark::State& state, const ScratchFolder& folder,
                      const std::string& command, const std::string& prefix, int count) {
    double total = 0;
    for (auto _ : state) {
        const double run = TimeRun(state, folder, command, prefix, count);
        if (run < 0)
            break;
        total += run;
    }
    return total / double(state.iterations());
}

double g_oneJobSeconds = 0;

void BM_Batch200LooksToCubrel65(benchmark::State& state) {
    const bool oneJob = state.range(0) == 1;
    const ScratchFolder folder;
    const std::string look = StoredLook();
    for (int i = 0; i < kLooks; ++i)
        std::ofstream(folder.Posix("look" + std::to_string(i) + ".look"), std::ios::binary) << look;
    const std::string command = std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift \"" +
                                folder.Posix() + "/*.look\" -cubrel -size 65" +
                                (oneJob ? " -jobs 1" : "") + " > /dev/null";
    const double seconds = MeanRunSeconds(state, folder, command, "look", kLooks);
    state.counters["s"] = seconds;
    if (oneJob)
        g_oneJobSeconds = seconds;
    else if (g_oneJobSeconds > 0)
        state.counters["x_jobs1"] = seconds / g_oneJobSeconds;
    state.SetLabel(oneJob ? "-jobs 1" : "default");
}
// -jobs 1 runs first, so that the default's ratio can be printed.
BENCHMARK(BM_Batch200LooksToCubrel65)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

constexpr int kProcessLists = 20;

// Files read through OpenColorIO convert at once: -jobs 2 must not be slower
// than -jobs 1 (x_jobs1 at most 1). The two runs alternate, so that a change
// in the machine's load weighs on both alike.
void BM_Batch20ClfToCubrel129(benchmark::State& state) {
    const ScratchFolder folder;
    const std::string text = ProcessList();
    for (int i = 0; i < kProcessLists; ++i)
        std::ofstream(folder.Posix("clf" + std::to_string(i) + ".clf"), std::ios::binary) << text;
    const auto command = [&](int jobs) {
        return std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift \"" + folder.Posix() +
               "/*.clf\" -cubrel -size 129 -jobs " + std::to_string(jobs) + " > /dev/null";
    };
    double seconds[2] = {0, 0};
    for (auto _ : state) {
        const double one = TimeRun(state, folder, command(1), "clf", kProcessLists);
        const double two = one < 0 ? -1 : TimeRun(state, folder, command(2), "clf", kProcessLists);
        if (two < 0)
            break;
        seconds[0] += one;
        seconds[1] += two;
    }
    state.counters["s_jobs1"] = seconds[0] / double(state.iterations());
    state.counters["s_jobs2"] = seconds[1] / double(state.iterations());
    state.counters["x_jobs1"] = seconds[1] / seconds[0];
}
BENCHMARK(BM_Batch20ClfToCubrel129)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

double g_secondsPerFileOf300 = 0;

void BM_BatchOfSmallCubesIntoOneFolder(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const ScratchFolder folder;
    std::filesystem::create_directory(folder.Posix("in"));
    std::filesystem::create_directory(folder.Posix("out"));
    const std::string cube = "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n"
                             "0 0 1\n1 0 1\n0 1 1\n1 1 1\n";
    for (int i = 0; i < count; ++i)
        std::ofstream(folder.Posix("in/c" + std::to_string(i) + ".cube"), std::ios::binary) << cube;
    const std::string command = std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift \"" +
                                folder.Posix() + "/in/*.cube\" -cubrel -size 9 -out \"" +
                                folder.Posix("out") + "\" > /dev/null 2>&1";
    const double perFile = MeanRunSeconds(state, folder, command, "out/c", count) / count;
    state.counters["ms_per_file"] = perFile * 1000.0;
    if (count == 300)
        g_secondsPerFileOf300 = perFile;
    else if (g_secondsPerFileOf300 > 0)
        state.counters["x_per_file_300"] = perFile / g_secondsPerFileOf300;
}
// 300 first, so that 3000's ratio can be printed.
BENCHMARK(BM_BatchOfSmallCubesIntoOneFolder)
    ->Arg(300)
    ->Arg(3000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
