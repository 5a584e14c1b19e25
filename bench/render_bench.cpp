// Speed of rendering looks into LUTs, the product's hot path. For three looks
// (a per-channel grade, tonal ranges with gammas, all six secondaries with the
// 5x5 blur) it reports lattice nodes per second at N = 65, 129 and 256, and the
// whole-run time of "gradeshift LOOK -cubrel -size 129" in milliseconds. For a
// rebuild of the per-channel look at N = 64 and 256 it reports the best whole-run
// time of six beside the best time to write the same number of bytes (then
// fsync) to the same folder, and their ratio ("x_write").

#include "look/parsed_look.h"
#include "render/compositing_engine.h"

#include "../tests/support/scratch_folder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string BaseLook(const std::string& parameters) {
    return "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n    <base>\n"
           "      <rangeversion>\"2\"</rangeversion>\n      <sublayer0>\n"
           "        <parameters>\n" +
           parameters +
           "        </parameters>\n      </sublayer0>\n    </base>\n"
           "  </shaders>\n</look>\n";
}

std::string Parameter(const std::string& name, const std::string& value) {
    return "          <" + name + ">\"" + value + "\"</" + name + ">\n";
}

std::string PerChannelLook() {
    return BaseLook(Parameter("Gain.X", "0.15") + Parameter("Gain.Z", "-0.2") +
                    Parameter("Offset.Y", "0.01") + Parameter("Gamma.X", "-0.05") +
                    Parameter("Contrast", "0.2"));
}

std::string TonalRangesLook() {
    return BaseLook(Parameter("GainLow.Z", "0.3") + Parameter("GammaLow.X", "0.1") +
                    Parameter("GammaMid.Y", "0.1") + Parameter("GammaHigh.X", "-0.15") +
                    Parameter("SaturationLMH.Z", "1.2") + Parameter("LowMid", "0.35"));
}

std::string SecondariesLook() {
    std::string parameters;
    for (int s = 1; s <= 6; ++s) {
        const std::string n = std::to_string(s);
        parameters +=
            Parameter("MiddleHLS" + n + ".X",
                      std::string(1, 'N').append(std::to_string(s * 60 - 30))) +
            Parameter("RangeHLS" + n + ".X", "N20") + Parameter("ToleranceHLS" + n + ".X", "N10") +
            Parameter("RangeHLS" + n + ".Y", "N0.4") +
            Parameter("ToleranceHLS" + n + ".Y", "N0.1") +
            Parameter("RangeHLS" + n + ".Z", "N0.4") +
            Parameter("ToleranceHLS" + n + ".Z", "N0.1") + Parameter("Gain" + n + ".Y", "0.1");
    }
    for (const char* blur : {"Blur123", "Blur456"})
        for (const char* c : {".X", ".Y", ".Z"})
            parameters += Parameter(std::string(blur) + c, "1.5");
    return BaseLook(parameters);
}

std::string LookText(int look) {
    switch (look) {
    case 0:
        return PerChannelLook();
    case 1:
        return TonalRangesLook();
    default:
        return SecondariesLook();
    }
}

const char* const kLookNames[] = {"per_channel", "tonal_ranges", "secondaries"};

void BM_RenderLookToLut(benchmark::State& state) {
    const std::unique_ptr<ParsedLook> look = ReadLook(LookText(int(state.range(0))).c_str());
    const uint32_t N = uint32_t(state.range(1));
    CVxSoftwareCompositingEngine engine;
    for (auto _ : state) {
        const RenderedLutBuffer nodes(engine.RenderLookToLut(look->grading, kLatticeCube, N,
                                                             nullptr, kRedFastest, CVxString()));
        if (!nodes) {
            state.SkipWithError("render failed");
            return;
        }
        benchmark::DoNotOptimize(nodes.get());
    }
    state.SetLabel(kLookNames[state.range(0)]);
    state.counters["nodes_per_s"] = benchmark::Counter(
        double(N) * N * N * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderLookToLut)
    ->ArgsProduct({{0, 1, 2}, {65, 129, 256}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The whole program on one look, from start to the Cubrel file on disk.
void BM_WholeRunCubrel129(benchmark::State& state) {
    const ScratchFolder folder;
    const std::string look = folder.Posix(std::string(kLookNames[state.range(0)]) + ".look");
    std::ofstream(look) << LookText(int(state.range(0)));
    const std::string command = std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift \"" + look +
                                "\" -cubrel -size 129 > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gradeshift failed");
            break;
        }
    }
    state.SetLabel(kLookNames[state.range(0)]);
}
BENCHMARK(BM_WholeRunCubrel129)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

double SecondsToWrite(const std::filesystem::path& path, size_t bytes) {
    const std::vector<char> data(bytes, 'A');
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (descriptor < 0)
            return 0;
        size_t done = 0;
        while (done < bytes) {
            const ssize_t wrote = ::write(descriptor, data.data() + done, bytes - done);
            if (wrote <= 0)
                break;
            done += size_t(wrote);
        }
        ::fsync(descriptor);
        ::close(descriptor);
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::filesystem::remove(path);
    return best;
}

// Rebuild mode on one look: read, render the lattice and the ramp, write the
// hex document and replace the file.
void BM_WholeRunRebuild(benchmark::State& state) {
    namespace fs = std::filesystem;
    const ScratchFolder folder;
    const std::string look = folder.Posix("per_channel.look");
    const std::string command = std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift \"" + look +
                                "\" -size " + std::to_string(state.range(0)) + " > /dev/null";
    // Disk timings on a shared machine vary from run to run; the best run of
    // each is compared, as for the plain write.
    double best = 1e30;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(look) << PerChannelLook();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gradeshift failed");
            break;
        }
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    const size_t bytes = fs::exists(look) ? size_t(fs::file_size(look)) : 0;
    const double write = SecondsToWrite(folder.Posix("plain_write.bin"), bytes);
    state.counters["MB"] = double(bytes) / 1e6;
    state.counters["write_ms"] = write * 1e3;
    state.counters["best_ms"] = best * 1e3;
    state.counters["x_write"] = write > 0 ? best / write : 0;
}
BENCHMARK(BM_WholeRunRebuild)
    ->Arg(64)
    ->Arg(256)
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
