// Speed of the LUT paths that run on large tables: loading a 65-point cube
// file (with LF or CR line breaks), resampling, and packing and writing a 129-point Cubrel file.
// Each benchmark reports milliseconds per operation ("ms") and the time relative to copying the
// same number of bytes with memcpy ("x_memcpy"). Loading curve-set files, which the loader samples
// into a 1D table, reports its time relative to loading a 17-point cube file ("x_cube17") instead.

#include "lut/cubrel_writer.h"
#include "lut/lut.h"

#include "../tests/support/scratch_folder.h"
#include "../tests/support/system_luts.h"
#include "memcpy_ratio.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const ScratchFolder& Scratch() {
    static const ScratchFolder folder;
    return folder;
}

// A file of the scratch folder in the drive form the framework's file layer expects.
CVxString ScratchPath(const std::string& name) {
    return CVxString(Scratch().Drive(name).c_str());
}

// A cube file with six decimals per value, as cube writers emit them, its lines
// ended by `lineBreak`.
size_t WriteCubeFile(const std::string& path, uint32_t n, char lineBreak = '\n') {
    std::string text = "TITLE \"bench\"" + std::string(1, lineBreak) + "LUT_3D_SIZE " +
                       std::to_string(n) + lineBreak;
    char line[80];
    for (uint32_t b = 0; b < n; ++b)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t r = 0; r < n; ++r) {
                const int length = std::snprintf(
                    line, sizeof line, "%.6f %.6f %.6f%c", r / double(n - 1),
                    (g * g) / double((n - 1) * (n - 1)), 1.0 - b / double(n - 1), lineBreak);
                text.append(line, static_cast<size_t>(length));
            }
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return text.size();
}

void FillLattice(CVxLUT& lut, uint32_t n) {
    lut.Create(n, true);
    float* entry = lut.m_data;
    for (uint32_t b = 0; b < n; ++b)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t r = 0; r < n; ++r, entry += 4) {
                entry[0] = r / float(n - 1);
                entry[1] = (g / float(n - 1)) * (g / float(n - 1));
                entry[2] = 1.0f - b / float(n - 1);
                entry[3] = 1.0f;
            }
}

size_t LatticeBytes(uint32_t n) {
    return size_t(n) * n * n * 16;
}

// Argument 0: lines end in LF; 1: in CR alone, as old Mac tools write them.
void BM_LoadCube65(benchmark::State& state) {
    const size_t bytes =
        WriteCubeFile(Scratch().Posix("bench65.cube"), 65, state.range(0) ? '\r' : '\n');
    const CVxString path = ScratchPath("bench65.cube");
    double total = 0;
    for (auto _ : state) {
        CVxLUT lut;
        const Clock::time_point start = Clock::now();
        const bool loaded = lut.Load(SystemLuts::Plain(), path, false,
                                     CVxLUT::EDimensionRequirement::eAnyDimension, false);
        total += SecondsSince(start);
        if (!loaded || lut.m_size != 65)
            state.SkipWithError("the cube file did not load");
    }
    Report(state, total, bytes);
}
BENCHMARK(BM_LoadCube65)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Resample(benchmark::State& state) {
    const uint32_t from = static_cast<uint32_t>(state.range(0));
    const uint32_t to = static_cast<uint32_t>(state.range(1));
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CVxLUT lut;
        FillLattice(lut, from);
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        const bool resampled = lut.Resample(to);
        total += SecondsSince(start);
        if (!resampled)
            state.SkipWithError("resampling failed");
    }
    Report(state, total, std::max(LatticeBytes(from), LatticeBytes(to)));
}
BENCHMARK(BM_Resample)
    ->Args({33, 17})
    ->Args({65, 17})
    ->Args({65, 129})
    ->Args({256, 129})
    ->Unit(benchmark::kMillisecond);

void BM_WriteCubrel129(benchmark::State& state) {
    const uint32_t n = 129;
    CVxLUT lut;
    FillLattice(lut, n);
    std::vector<uint8_t> buffer(CubrelFileSize(n));
    PrepareCubrelHeader(buffer.data(), n);
    const CVxString path = ScratchPath("bench129.cubrel");
    double total = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        SystemFileAccess files;
        const std::unique_ptr<FileOutput> file = files.Replace(path);
        const bool written = WriteCubrelFile(lut.m_data, n, 4, buffer.data(), *file);
        total += SecondsSince(start);
        if (!written)
            state.SkipWithError("the Cubrel file was not written");
    }
    Report(state, total, buffer.size());
}
BENCHMARK(BM_WriteCubrel129)->Unit(benchmark::kMillisecond);

// The packing of the lattice into Cubrel words alone, without the file.
// Rendered lattices have three floats per entry, loaded LUTs four.
void BM_PackCubrel129(benchmark::State& state) {
    const uint32_t n = 129;
    const uint32_t channels = uint32_t(state.range(0));
    CVxLUT lut;
    FillLattice(lut, n);
    std::vector<float> lattice;
    for (size_t i = 0; i < size_t(n) * n * n * 4; ++i)
        if (channels == 4 || i % 4 != 3)
            lattice.push_back(lut.m_data[i]);
    std::vector<uint8_t> buffer(CubrelFileSize(n));
    double total = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        PackCubrelLattice(lattice.data(), n, channels, buffer.data());
        benchmark::DoNotOptimize(buffer.data());
        total += SecondsSince(start);
    }
    Report(state, total, buffer.size());
}
BENCHMARK(BM_PackCubrel129)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);

// One file of each curve-set kind, each at the largest size its format allows
// or at a typical one.
std::string CurveFileText(int kind) {
    std::string text;
    switch (kind) {
    case 0:
        return "ReferenceWhite 600\nSoftClip 20\nGammaLog 1.7\n";
    case 1:
        return "<values><Log10Bit><ReferenceWhiteR>\"640\"</ReferenceWhiteR>"
               "<SoftClipB>\"20\"</SoftClipB></Log10Bit></values>\n";
    case 2:
        text = "LUT: 3 1024\n";
        for (int i = 0; i < 3 * 1024; ++i)
            text += std::to_string((i * 7) % 1024) + "\n";
        return text;
    case 3:
        return "Lookup(1, CSpline(1, 0@0, 0.3@0.25, 0.7@0.75, 1@1), JSpline(0, 0@0, 0.5@0.4, "
               "1@1), Hermite(0, (0, 0, 40)@0, (1, 55, 0)@1), Linear(0, 0@0, 1@1))\n";
    case 4:
        for (int i = 0; i < 1024; ++i)
            text += std::to_string(i) + " " + std::to_string(1023 - i) + " 512\n";
        return text;
    default:
        return "<VEXLANScript>\nred = pow(in, 0.9);\ngreen = clamp(in * 1.1 - 0.05, 0, 1);\n"
               "if (in < 0.5) { blue = in * in * 2; } else { blue = 1 - (1 - in) * (1 - in) * 2; }"
               "\n</VEXLANScript>\n";
    }
}

double BestLoadSeconds(const CVxString& path, int repeats) {
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        CVxLUT lut;
        const Clock::time_point start = Clock::now();
        lut.Load(SystemLuts::Plain(), path, false, CVxLUT::EDimensionRequirement::eAnyDimension,
                 true);
        best = std::min(best, SecondsSince(start));
    }
    return best;
}

void BM_LoadCurveFile(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string name = "curve" + std::to_string(kind) + ".lut";
    const std::string text = CurveFileText(kind);
    FILE* file = std::fopen(Scratch().Posix(name.c_str()).c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    const CVxString path = ScratchPath(name.c_str());
    WriteCubeFile(Scratch().Posix("bench17.cube"), 17);
    const double cubeSeconds = BestLoadSeconds(ScratchPath("bench17.cube"), 5);
    double total = 0;
    for (auto _ : state) {
        CVxLUT lut;
        const Clock::time_point start = Clock::now();
        const bool loaded = lut.Load(SystemLuts::Plain(), path, false,
                                     CVxLUT::EDimensionRequirement::eAnyDimension, true);
        total += SecondsSince(start);
        if (!loaded || lut.m_size != 1024)
            state.SkipWithError("the curve file did not load");
    }
    const double perOperation = total / static_cast<double>(state.iterations());
    state.counters["ms"] = perOperation * 1000.0;
    state.counters["x_cube17"] = perOperation / cubeSeconds;
}
BENCHMARK(BM_LoadCurveFile)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
