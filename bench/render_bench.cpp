// Speed of rendering looks into LUTs, the product's hot path. For three looks
// (a per-channel grade, tonal ranges with gammas, all six secondaries with the
// 5x5 blur) it reports lattice nodes per second at N = 65, 129 and 256, and the
// whole-run time of "gradeshift LOOK -cubrel -size 129" in milliseconds. A look
// of the class of a CDL (slope, offset and power per channel, and saturation)
// rendered into a 129-point Cubrel LUT is set against ociobakelut baking the
// same CDL into a 129-point cube ("x_ociobakelut"; the goal is at most 0.05).
// A rebuild of the per-channel look at N = 64 and 256 is set against a plain
// write (then fsync) of the same bytes into the same folder ("x_write"; the
// goal at 256 is at most 1.2). Both pairs are run in turn five times and the
// best time of each is compared (see side_by_side.h). For a look stored at
// 256 points (about 447 MB of hex) converted to a 17-point Cubrel LUT it
// reports the best whole-run time (and its processor time, "cpu_ms") against
// reading the file once from the page cache ("x_read"), and the run's peak
// memory against the file's size ("x_file").

#include "look/parsed_look.h"
#include "render/compositing_engine.h"
#include "render/shader_registry.h"

#include "../tests/support/look_text.h"
#include "../tests/support/scratch_folder.h"
#include "../tests/support/system_luts.h"
#include "side_by_side.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

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

// The CDL that ociobakelut bakes, and the same grade as a look: a slope is a
// gain of 2^Gain, a power is 3^Gamma, and an offset is scaled by the slope.
const char kCdl[] = "<ColorCorrection id=\"bench\">\n"
                    "<SOPNode><Slope>1.1 0.9 1.0</Slope><Offset>-0.05 0.02 0</Offset>"
                    "<Power>0.8 1.0 1.2</Power></SOPNode>\n"
                    "<SatNode><Saturation>0.7</Saturation></SatNode>\n</ColorCorrection>\n";

std::string CdlLook() {
    return BaseLook(Parameter("Gain.X", "0.1375035") + Parameter("Gain.Y", "-0.1520031") +
                    Parameter("Offset.X", "-0.0454545") + Parameter("Offset.Y", "0.0222222") +
                    Parameter("Gamma.X", "-0.2031125") + Parameter("Gamma.Z", "0.1659545") +
                    Parameter("Saturation", "0.7"));
}

// A CDL-class look into a 129-point Cubrel LUT, against ociobakelut baking the
// CDL into a 129-point Resolve cube (with saturation it writes a lattice).
void BM_WholeRunCdlCubrel129(benchmark::State& state) {
    const ScratchFolder folder;
    const std::string look = folder.Posix("cdl.look");
    std::ofstream(look) << CdlLook();
    folder.Write("grade.cc", kCdl);
    const std::string command = std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift \"" + look +
                                "\" -cubrel -size 129 > /dev/null";
    const std::string bake = "env -u OCIO ociobakelut --lut '" + folder.Posix("grade.cc") +
                             "' --format resolve_cube --cubesize 129 '" +
                             folder.Posix("baked.cube") + "' > /dev/null 2>&1";
    SideBySideTimes times;
    if (TimeSideBySide(
            state, [] {}, [&] { return std::system(command.c_str()) == 0; },
            [&] { return std::system(bake.c_str()) == 0; }, times))
        ReportSideBySide(state, times, "ociobakelut");
}
BENCHMARK(BM_WholeRunCdlCubrel129)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// Writes `bytes` into a new file at `path` and syncs it, as a program that
// writes a file of its own would.
bool WritePlainFile(const std::string& path, const std::string& bytes) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (descriptor < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0)
            break;
        done += size_t(wrote);
    }
    const bool synced = ::fsync(descriptor) == 0;
    return ::close(descriptor) == 0 && synced && done == bytes.size();
}

// Rebuild mode on one look: read, render the lattice and the ramp, write the
// hex document and replace the file; against a plain write of the bytes that
// the rebuild writes, into the same folder.
void BM_WholeRunRebuild(benchmark::State& state) {
    const ScratchFolder folder;
    const std::string look = folder.Posix("per_channel.look");
    const std::string plain = folder.Posix("plain_write.look");
    const std::string command = std::string(GRADESHIFT_BINARY_DIR) + "/bin/gradeshift \"" + look +
                                "\" -size " + std::to_string(state.range(0)) + " > /dev/null";
    auto rebuild = [&] { return std::system(command.c_str()) == 0; };
    // A first rebuild, untimed, gives the bytes that the plain write writes.
    std::ofstream(look) << PerChannelLook();
    std::string bytes;
    if (rebuild()) {
        std::ifstream file(look, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    if (bytes.empty()) {
        state.SkipWithError("the look was not rebuilt");
        return;
    }
    // Every round starts from the old look, and from no plain file.
    auto prepare = [&] {
        std::ofstream(look) << PerChannelLook();
        std::filesystem::remove(plain);
    };
    SideBySideTimes times;
    if (TimeSideBySide(
            state, prepare, rebuild, [&] { return WritePlainFile(plain, bytes); }, times)) {
        state.counters["MB"] = double(bytes.size()) / 1e6;
        ReportSideBySide(state, times, "write");
    }
}
BENCHMARK(BM_WholeRunRebuild)
    ->Arg(64)
    ->Arg(256)
    ->Iterations(5)
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
