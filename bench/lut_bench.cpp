// Speed of the LUT paths that run on large tables: loading a 65-point cube
// file, resampling, and writing a 129-point Cubrel file. Each benchmark reports
// milliseconds per operation ("ms") and the time relative to copying the same
// number of bytes with memcpy ("x_memcpy").

#include "lut/cubrel_writer.h"
#include "lut/lut.h"

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

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/gradeshift-bench-XXXXXX";
        m_root = mkdtemp(pattern);
    }
    ~ScratchFolder() { std::filesystem::remove_all(m_root); }
    std::string Posix(const char* name) const { return m_root + "/" + name; }
    // The drive form the framework's file layer expects.
    CVxString Framework(const char* name) const {
        std::string text = "Z:" + Posix(name);
        std::replace(text.begin(), text.end(), '/', '\\');
        return CVxString(text.c_str());
    }

private:
    std::string m_root;
};

const ScratchFolder& Scratch() {
    static const ScratchFolder folder;
    return folder;
}

// A 65-point cube file with six decimals per value, as cube writers emit them.
size_t WriteCubeFile(const std::string& path, uint32_t n) {
    std::string text = "TITLE \"bench\"\nLUT_3D_SIZE " + std::to_string(n) + "\n";
    char line[80];
    for (uint32_t b = 0; b < n; ++b)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t r = 0; r < n; ++r) {
                const int length =
                    std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", r / double(n - 1),
                                  (g * g) / double((n - 1) * (n - 1)), 1.0 - b / double(n - 1));
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

void BM_LoadCube65(benchmark::State& state) {
    const size_t bytes = WriteCubeFile(Scratch().Posix("bench65.cube"), 65);
    const CVxString path = Scratch().Framework("bench65.cube");
    double total = 0;
    for (auto _ : state) {
        CVxLUT lut;
        const Clock::time_point start = Clock::now();
        const bool loaded =
            lut.Load(path, false, CVxLUT::EDimensionRequirement::eAnyDimension, false);
        total += SecondsSince(start);
        if (!loaded || lut.m_size != 65)
            state.SkipWithError("the cube file did not load");
    }
    Report(state, total, bytes);
}
BENCHMARK(BM_LoadCube65)->Unit(benchmark::kMillisecond);

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
    ->Args({65, 129})
    ->Args({256, 129})
    ->Unit(benchmark::kMillisecond);

void BM_WriteCubrel129(benchmark::State& state) {
    const uint32_t n = 129;
    CVxLUT lut;
    FillLattice(lut, n);
    std::vector<uint8_t> buffer(CubrelFileSize(n));
    PrepareCubrelHeader(buffer.data(), n);
    const CVxString path = Scratch().Framework("bench129.cubrel");
    double total = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const bool written = WriteCubrelFile(lut.m_data, n, 4, buffer.data(), path);
        total += SecondsSince(start);
        if (!written)
            state.SkipWithError("the Cubrel file was not written");
    }
    Report(state, total, buffer.size());
}
BENCHMARK(BM_WriteCubrel129)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
