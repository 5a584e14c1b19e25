#include "render/kernel_registry.h"
#include "render/lut_sampling.h"

#include "pixel_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LutStages, MapTheDomainAndApplyTheParts) {
    // The LUTs of the cases: none, a 1D table over [0, 2] (each channel its own
    // column), a lattice, a lattice over [-1, 1], and a lattice with a pre-LUT as
    // the readers build it (the pre-LUT holds lattice coordinates, the lattice's
    // domain spans its first to last texel centre).
    const Rgb any = {0.25f, -0.5f, 7};
    std::vector<std::unique_ptr<CVxLUT>> luts(5);
    luts[1] = MakeTable({{0, 1, 0}, {0.5f, 0, 1}, {2, 1, 4}}, 0.0f, 2.0f);
    luts[2] = MakeLattice(5, Multilinear);
    luts[3] = MakeLattice(3, Multilinear);
    luts[3]->SetDomainUniform(-1.0f, 1.0f);
    luts[4] = MakeLattice(2, Multilinear);
    luts[4]->SetDomainUniform(0.25f, 0.75f);
    luts[4]->m_preLUT =
        MakeTable({{0.25f, 0.25f, 0.25f}, {0.3f, 0.3f, 0.3f}, {0.75f, 0.75f, 0.75f}}).release();
    const struct {
        const char* shader;
        int lut;
        Rgb in;
        Rgb expected;
    } cases[] = {
        {"VEXLAN.LUT.1D", 1, {1.5f, 0.5f, 1}, {1.25f, 0.5f, 1}},
        {"VEXLAN.LUT.1D", 1, {-1, 3, 2}, {0, 1, 4}},
        {"VEXLAN.LUT.3D", 2, {0.3f, 0.7f, 0.9f}, {0.7f, 0.575f, 0.27f}},
        {"VEXLAN.LUT.3D", 2, {2, -1, 0.5f}, {0, 0.125f, 0.5f}},
        {"VEXLAN.LUT.3D", 3, {-0.5f, 1, 0.5f}, {0.75f, 0.6875f, 0.1875f}},
        // Pre-LUT: 0.5 -> 0.3 and 0.25 -> 0.275, lattice coordinates 0.1 and 0.05.
        {"VEXLAN.LUT.1D3D", 4, {0.5f, 0.25f, 1}, {0.9f, 0.275f, 0.1f}},
        {"vexlan.lut.adaptive", 4, {0.5f, 0.25f, 1}, {0.9f, 0.275f, 0.1f}},
        {"VEXLAN.LUT.Adaptive", 1, {1.5f, 0.5f, 1}, {1.25f, 0.5f, 1}},
        // Shaders without the part they apply, or without a LUT, pass pixels through.
        {"VEXLAN.LUT.3D", 1, any, any},
        {"VEXLAN.LUT.1D", 2, any, any},
        {"VEXLAN.LUT.1D3D", 0, any, any},
        {"VEXLAN.NoOp", 2, any, any},
        {"VEXLAN.BadTexture", 0, any, any},
    };
    for (const auto& c : cases) {
        const std::string label = std::string(c.shader) + " " + std::to_string(c.lut);
        const PixelStageFactory factory = FindPixelStage(c.shader);
        ASSERT_NE(factory, nullptr) << label;
        const CVxLUT* lut = luts[c.lut].get();
        const LutTexture texture = lut ? MakeLutTexture(*lut) : LutTexture();
        PixelStageSetup setup;
        setup.textures[1] = lut ? &texture : nullptr;
        const std::unique_ptr<PixelStage> stage = factory(setup);
        const std::array<float, 4> out = RunPixel(*stage, c.in, 0.25f);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(out[k], c.expected[k], 1e-6) << label << " channel " << k;
        EXPECT_EQ(out[3], 0.25f) << label;
        EXPECT_EQ(stage->IsIdentity(), c.in == c.expected) << label;
    }
    EXPECT_EQ(FindPixelStage("VEXLAN.LUT.2D"), nullptr);
    EXPECT_EQ(FindPixelStage("fxTechnicolor(3strip)"), nullptr);
    EXPECT_EQ(FindPixelStage("VEXLAN.Base"), nullptr);
}

// Rows longer than a chunk, in place and into another buffer, keep every pixel in its place.
TEST(LutStages, WholeRows) {
    const std::unique_ptr<CVxLUT> lattice = MakeLattice(5, Multilinear);
    const LutTexture texture = MakeLutTexture(*lattice);
    PixelStageSetup setup;
    setup.textures[1] = &texture;
    const std::unique_ptr<PixelStage> stage = FindPixelStage("VEXLAN.LUT.3D")(setup);
    const uint32_t width = 301;
    std::vector<float> row, expected, copy(width * 4);
    for (uint32_t i = 0; i < width; ++i) {
        const float x = static_cast<float>(i) / (width - 1);
        const Rgb graded = Multilinear(x, 1 - x, x * x);
        row.insert(row.end(), {x, 1 - x, x * x, static_cast<float>(i)});
        expected.insert(expected.end(), {graded[0], graded[1], graded[2], static_cast<float>(i)});
    }
    stage->ProcessRow(row.data(), copy.data(), width);
    stage->ProcessRow(row.data(), row.data(), width);
    EXPECT_EQ(row, copy);
    for (uint32_t i = 0; i < width * 4; ++i)
        ASSERT_NEAR(row[i], expected[i], 1e-6) << i / 4 << " channel " << i % 4;
}

} // namespace
