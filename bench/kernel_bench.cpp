// Speed of the per-pixel kernels over an identity lattice of 65 points per axis
// laid out as an image (65 * 65 pixels wide, 65 rows), the way a look is
// rendered into a LUT. Items are pixels, so the rate reads as pixels per second.

#include "lut/lut.h"
#include "render/base_shader_definition.h"
#include "render/kernel_registry.h"
#include "render/lut_sampling.h"
#include "render/pixel_stage.h"
#include "render/shader_definition.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr uint32_t kLattice = 65;
constexpr uint32_t kWidth = kLattice * kLattice;
constexpr uint32_t kHeight = kLattice;

std::vector<float> IdentityLatticeImage() {
    std::vector<float> image;
    image.reserve(size_t(kWidth) * kHeight * 4);
    const float step = 1.0f / (kLattice - 1);
    for (uint32_t b = 0; b < kLattice; ++b)
        for (uint32_t g = 0; g < kLattice; ++g)
            for (uint32_t r = 0; r < kLattice; ++r)
                image.insert(image.end(), {r * step, g * step, b * step, 1.0f});
    return image;
}

void RunStage(benchmark::State& state, const PixelStage& stage) {
    const std::vector<float> source = IdentityLatticeImage();
    std::vector<float> out(source.size());
    const RgbaRows rows{source.data(), kWidth, kHeight, size_t(kWidth) * 4};
    for (auto _ : state) {
        for (uint32_t y = 0; y < kHeight; ++y) {
            float* row = out.data() + size_t(y) * kWidth * 4;
            if (stage.ReadsNeighbours())
                stage.ProcessRowWithNeighbours(rows, y, row);
            else
                stage.ProcessRow(rows.Row(y), row, kWidth);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
    state.SetLabel(stage.KernelName());
}

void BaseGrading(benchmark::State& state, const char* shader,
                 const std::vector<ShaderParameterValue>& parameters) {
    ShaderDefinition definition;
    definition.Parse(BaseShaderDefinitionText(true));
    definition.Bind(parameters);
    const ShaderLookupTable& table = definition.LookupTables()[0];
    PixelStageSetup setup;
    setup.script = &definition.Script();
    setup.lookups[5] = {table.Data().data(), table.RowCount()};
    RunStage(state, *FindPixelStage(shader)(setup));
}

void BM_Base1Saturation(benchmark::State& state) {
    BaseGrading(state, "VEXLAN.Base.1", {{"saturation", 0.8}});
}

void BM_Base1Full(benchmark::State& state) {
    BaseGrading(state, "VEXLAN.Base.1",
                {{"matrixR.y", 0.1},
                 {"gainHigh.x", 0.2},
                 {"gammaLow.y", 0.1},
                 {"gammaMid.z", -0.1},
                 {"gammaHigh.x", 0.05},
                 {"saturationLMH.x", 0.9}});
}

void BM_Base2Keys(benchmark::State& state) {
    BaseGrading(state, "VEXLAN.Base.2",
                {{"rangeHLS1.x", 30},
                 {"toleranceHLS1.x", 20},
                 {"gain1.x", 0.3},
                 {"rangeHLS5.y", 0.2},
                 {"toleranceHLS5.y", 0.1},
                 {"offset5.z", 0.1}});
}

void BM_Base2Blur5x5(benchmark::State& state) {
    BaseGrading(state, "VEXLAN.Base.2",
                {{"rangeHLS1.x", 30},
                 {"toleranceHLS1.x", 20},
                 {"gain1.x", 0.3},
                 {"blur123.x", 2},
                 {"blur123.y", 2},
                 {"blur123.z", 2}});
}

void BM_Lut3D(benchmark::State& state) {
    const uint32_t size = 33;
    CVxLUT lattice;
    lattice.Create(size, true);
    for (size_t i = 0; i < size_t(size) * size * size; ++i)
        for (int c = 0; c < 4; ++c)
            lattice.m_data[i * 4 + c] = static_cast<float>((i * (c + 3)) % 97) / 96.0f;
    const LutTexture texture = MakeLutTexture(lattice);
    PixelStageSetup setup;
    setup.textures[1] = &texture;
    RunStage(state, *FindPixelStage("VEXLAN.LUT.3D")(setup));
}

} // namespace

BENCHMARK(BM_Base1Saturation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base1Full)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base2Keys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base2Blur5x5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lut3D)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
