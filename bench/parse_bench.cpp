// How fast the text LUT readers parse, from memory: each reader over a text of
// one to two megabytes, which it reads on one core ("MB_s", megabytes per
// second of that core; the goal is at least 300), and a 65-point cube of
// 7 MB, which is split between the cores (its "MB_s" is of the elapsed time).

#include "lut/lut.h"
#include "lut/lut_formats.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// A smooth grade at node (r, g, b) of an n-point lattice, in [0, 1].
void Grade(uint32_t n, uint32_t r, uint32_t g, uint32_t b, double rgb[3]) {
    const double x = r / double(n - 1), y = g / double(n - 1), z = b / double(n - 1);
    rgb[0] = 0.8 * x * x + 0.2 * y;
    rgb[1] = 0.5 * (y + z * z);
    rgb[2] = 0.9 * z + 0.1 * x * y;
}

// Appends one line of three numbers written with `format`.
void AddRow(std::string& text, const char* format, double a, double b, double c) {
    char line[96];
    const int length = std::snprintf(line, sizeof line, format, a, b, c);
    text.append(line, size_t(length));
}

// Every node of an n-point lattice, red fastest; with `indices`, blue fastest
// and each line led by the node's indices, as .spi3d files list them.
std::string LatticeRows(uint32_t n, const char* format, bool indices = false) {
    std::string text;
    text.reserve(size_t(n) * n * n * 40);
    for (uint32_t i = 0; i < n * n * n; ++i) {
        const uint32_t fast = i % n, middle = i / n % n, slow = i / n / n;
        const uint32_t r = indices ? slow : fast, b = indices ? fast : slow;
        double rgb[3];
        Grade(n, r, middle, b, rgb);
        if (indices)
            text +=
                std::to_string(r) + " " + std::to_string(middle) + " " + std::to_string(b) + " ";
        AddRow(text, format, rgb[0], rgb[1], rgb[2]);
    }
    return text;
}

std::string CubeText(uint32_t n) {
    return "TITLE \"bench\"\nLUT_3D_SIZE " + std::to_string(n) + "\n" +
           LatticeRows(n, "%.6f %.6f %.6f\n");
}

std::string TruelightText(uint32_t n) {
    const std::string width = std::to_string(n);
    return "# Truelight Cube v2.1\n# iDims 3\n# oDims 3\n# width " + width + " " + width + " " +
           width + "\n\n# Cube\n" + LatticeRows(n, "%.6f %.6f %.6f\n") + "# end\n";
}

std::string MeshText(uint32_t n) {
    std::string text = "0";
    for (uint32_t k = 1; k < n; ++k)
        text += " " + std::to_string(k * 1023 / (n - 1));
    text += "\n";
    text.reserve(size_t(n) * n * n * 16);
    for (uint32_t i = 0; i < n * n * n; ++i) {
        double rgb[3];
        Grade(n, i / n / n, i / n % n, i % n, rgb);
        AddRow(text, "%.0f %.0f %.0f\n", rgb[0] * 4095, rgb[1] * 4095, rgb[2] * 4095);
    }
    return text;
}

std::string Spi1dText(uint32_t length) {
    std::string text =
        "Version 1\nFrom 0.0 1.0\nLength " + std::to_string(length) + "\nComponents 3\n{\n";
    for (uint32_t i = 0; i < length; ++i) {
        const double x = i / double(length - 1);
        AddRow(text, "    %.6f %.6f %.6f\n", x * x, x, 1.0 - x);
    }
    return text + "}\n";
}

std::string Spi3dText(uint32_t n) {
    const std::string size = std::to_string(n);
    return "SPILUT 1.0\n3 3\n" + size + " " + size + " " + size + "\n" +
           LatticeRows(n, "%.6f %.6f %.6f\n", true);
}

// A curve set of three columns of 1024 codes, as long as the format takes.
std::string CurveSetText() {
    std::string text;
    for (int i = 0; i < 1024; ++i)
        text += std::to_string(i) + " " + std::to_string(1023 - i) + " 512\n";
    return text;
}

struct Text {
    const char* label;
    LutReader* read;
    std::string (*make)();
};

const Text kTexts[] = {
    {"cube, 33 points", ReadCubeLut, [] { return CubeText(33); }},
    {"3DL, 49 points", Read3dlLut, [] { return MeshText(49); }},
    {"Truelight, 33 points", ReadTruelightLut, [] { return TruelightText(33); }},
    {"spi1d, 65536 entries", ReadSpi1dLut, [] { return Spi1dText(65536); }},
    {"spi3d, 33 points", ReadSpi3dLut, [] { return Spi3dText(33); }},
    {"curve set of columns", ReadCurveSetLut, CurveSetText},
    {"cube, 65 points, split between the cores", ReadCubeLut, [] { return CubeText(65); }},
};

void BM_ParseText(benchmark::State& state) {
    const Text& kind = kTexts[state.range(0)];
    const std::string text = kind.make();
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    double total = 0;
    for (auto _ : state) {
        CVxLUT lut;
        const Clock::time_point start = Clock::now();
        const EReaderResult result =
            kind.read(lut, bytes, text.size(), false, CVxLUT::EDimensionRequirement::eAnyDimension);
        total += std::chrono::duration<double>(Clock::now() - start).count();
        if (result != EReaderResult::eLoaded)
            state.SkipWithError("the text was not read");
    }
    state.counters["MB_s"] = double(text.size()) * double(state.iterations()) / total / 1e6;
    state.counters["MB"] = double(text.size()) / 1e6;
    state.SetLabel(kind.label);
}
BENCHMARK(BM_ParseText)->DenseRange(0, std::size(kTexts) - 1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
