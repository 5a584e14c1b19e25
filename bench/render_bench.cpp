// Speed of rendering looks into LUTs, the product's hot path. For three looks
// (a per-channel grade, tonal ranges with gammas, all six secondaries with the
// 5x5 blur) it reports lattice nodes per second at N = 65, 129 and 256, and the
// whole-run time of "gradeshift LOOK -cubrel -size 129" in milliseconds. For a
// rebuild of the per-channel look at N = 64 and 256 it reports the best whole-run
// time of six beside the best time to write the same number of bytes (then
// fsync) to the same folder, and their ratio ("x_write"). For a look stored at
// 256 points (about 447 MB of hex) converted to a 17-point Cubrel LUT it reports
// the best whole-run time (and its processor time, "cpu_ms") against reading
// the file once from the page cache ("x_read"), and the run's peak memory
// against the file's size ("x_file").

#include "look/parsed_look.h"
#include "render/compositing_engine.h"
#include "render/shader_registry.h"

#include "../tests/support/scratch_folder.h"
#include "../tests/support/system_luts.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
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
    SystemLuts luts;
    const CVxShaderRegistry shaders(luts.files, "Z:\\no\\shaders\\");
    CVxSoftwareCompositingEngine engine(RenderEnvironment{shaders, luts.source});
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

// Runs the program with its output discarded; false when it could not run or
// failed. peakBytes receives the run's peak resident memory, cpuSeconds its
// user and system time.
bool RunProgram(const std::vector<std::string>& arguments, size_t& peakBytes, double& cpuSeconds) {
    const std::string program = std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return false;
    peakBytes = size_t(usage.ru_maxrss) * 1024;
    cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double SecondsToRead(const std::string& path, size_t bytes) {
    std::vector<char> data(bytes);
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file)
            return 0;
        const size_t read = std::fread(data.data(), 1, bytes, file);
        std::fclose(file);
        if (read != bytes)
            return 0;
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// A look rebuilt at 256 points, then converted to a 17-point Cubrel LUT: the
// render is small, so the run is the reading of the look.
void BM_WholeRunLook256ToCubrel17(benchmark::State& state) {
    namespace fs = std::filesystem;
    const ScratchFolder folder;
    const std::string look = folder.Posix("large.look");
    std::ofstream(look) << PerChannelLook();
    size_t peak = 0;
    double cpu = 0, bestCpu = 1e30;
    if (!RunProgram({look, "-size", "256"}, peak, cpu)) {
        state.SkipWithError("the 256-point look was not written");
        return;
    }
    double best = 1e30;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!RunProgram({look, "-cubrel", "-size", "17"}, peak, cpu) ||
            !fs::exists(folder.Posix("large.lut"))) {
            state.SkipWithError("gradeshift failed");
            break;
        }
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        bestCpu = std::min(bestCpu, cpu);
    }
    const size_t bytes = size_t(fs::file_size(look));
    const double read = SecondsToRead(look, bytes);
    state.counters["file_MB"] = double(bytes) / 1e6;
    state.counters["peak_MB"] = double(peak) / 1e6;
    state.counters["x_file"] = double(peak) / double(bytes);
    state.counters["best_ms"] = best * 1e3;
    state.counters["cpu_ms"] = bestCpu * 1e3;
    state.counters["read_ms"] = read * 1e3;
    state.counters["x_read"] = read > 0 ? best / read : 0;
}
BENCHMARK(BM_WholeRunLook256ToCubrel17)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
