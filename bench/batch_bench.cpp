// A batch on every core: 200 looks, each with a 64-point stored LUT, converted
// to 65-point Cubrel LUTs by the whole program, with -jobs 1 and by default
// (every core). Reports the whole-run time of each and, for the default, its
// ratio to -jobs 1 ("x_jobs1").

#include "foundation/byte_sink.h"
#include "look/look_writer.h"

#include "../tests/support/scratch_folder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kLooks = 200;
constexpr uint32_t kStoredSize = 64;

std::string Parameter(const std::string& name, const std::string& value) {
    return "          <" + name + ">\"" + value + "\"</" + name + ">\n";
}

// A per-channel grade with its baked LUT, as a rebuilt look stores it.
std::string StoredLook() {
    const uint64_t entries = uint64_t(kStoredSize) * kStoredSize * kStoredSize;
    std::vector<float> lattice(entries * 3);
    for (size_t i = 0; i < lattice.size(); ++i)
        lattice[i] = float(i % 997) / 996.0f;
    CVxString element;
    StringSink sink(element);
    WriteLutElement(sink, "LUT", kStoredSize, lattice.data(), entries);
    return "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n    <base>\n"
           "      <rangeversion>\"2\"</rangeversion>\n      <sublayer0>\n"
           "        <parameters>\n" +
           Parameter("Gain.X", "0.15") + Parameter("Gamma.X", "-0.05") +
           Parameter("Contrast", "0.2") +
           "        </parameters>\n      </sublayer0>\n    </base>\n  </shaders>\n" +
           std::string(element.c_str()) + "</look>\n";
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
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gradeshift failed");
            break;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // Every look must have become a Cubrel LUT; removing them starts the next run afresh.
        int converted = 0;
        for (int i = 0; i < kLooks; ++i)
            converted += std::filesystem::remove(folder.Posix("look" + std::to_string(i) + ".lut"));
        if (converted != kLooks) {
            state.SkipWithError("a look was not converted");
            break;
        }
    }
    const double seconds = total / double(state.iterations());
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

} // namespace

BENCHMARK_MAIN();
