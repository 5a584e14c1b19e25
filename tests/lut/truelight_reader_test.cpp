#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(TruelightReader, RefusedAndHandedOn) {
    const std::string ramp = "0 0 0\n0.5 0.5 0.5\n0.7 0.7 0.7\n1 1 1\n";
    const std::tuple<const char*, std::string, EReaderResult> cases[] = {
        {"iDims 2", "# iDims 2\n", eFailed},
        {"lutLength", "# lutLength 4097\n", eFailed},
        {"widths differ", "# width 3 3 4\n", eFailed},
        {"width 257", "# width 257 257 257\n", eFailed},
        {"stray line", TruelightFile(2, ramp, "0.5 0.5 0.5\n"), eFailed},
        {"short input table", TruelightFile(2, "0 0 0\n0.5 0.5\n"), eFailed},
        {"header blanks match any run", "#  Truelight  Cube v2\n0 0 0\n", eFailed},
        {"short cube undoes the input table",
         "# Truelight Cube v2\n# lutLength 2\n# InputLUT\n0 0 0\n1 1 1\n# width 2 2 2\n# Cube\n",
         eFailed},
        {"no header", "# a comment\n0 0 0\n", eNotRecognised},
        {"no header, short", "# width 2 2 2\n# Cube\n0 0 0\n", eNotRecognised},
    };
    for (const auto& [name, text, result] : cases) {
        CVxLUT lut;
        EXPECT_EQ(Read(ReadTruelightLut, lut, text), result) << name;
        EXPECT_EQ(lut.m_size, 0u) << name;
        EXPECT_EQ(lut.m_preLUT, nullptr) << name;
    }
}

// Input tables in lattice index units are normalised before the identity
// test (an identity in index units is converted by the command-line tests);
// the pre-LUT maps onto the texel centres of the lattice as sampled.
TEST(TruelightReader, InputTableAndCube) {
    const std::string curve = "0 0 0\n0.1 0.2 0.3\n0.5 0.5 0.5\n1 1 1\n";
    const auto mapped = [](float v, float texels) {
        return v * (1.0f - 1.0f / texels) + 0.5f / texels;
    };
    // Last: green of the pre-LUT's second entry; 0 for no pre-LUT.
    const std::tuple<const char*, int, std::string, bool, uint32_t, float> cases[] = {
        {"identity", 3, kIdentityRamp, false, 3, 0},
        {"curve", 17, curve, false, 17, mapped(0.2f, 17)},
        {"index units", 17, "0 0 0\n1.6 3.2 4.8\n8 8 8\n16 16 16\n", false, 17,
         mapped(3.2f / 16, 17)},
        {"headroom stays normalised", 3, "0 0 0\n0.4 0.4 0.4\n0.8 0.8 0.8\n1.5 1.5 1.5\n", false, 3,
         mapped(0.4f, 3)},
        {"width 2 is never in index units", 2, "0 0 0\n0.5 0.5 0.5\n1 1 1\n2 2 2\n", false, 2,
         mapped(0.5f, 2)},
        {"upsampled lattice", 17, curve, true, 32, mapped(0.2f, 32)},
    };
    for (const auto& [name, width, input, upsample, size, second] : cases) {
        CVxLUT lut;
        ASSERT_EQ(Read(ReadTruelightLut, lut, TruelightFile(width, input), upsample), eLoaded)
            << name;
        ASSERT_EQ(lut.m_size, size) << name;
        EXPECT_EQ(Entry(lut, size - 1, 1, 0)[0], 1.0f) << name;
        ASSERT_EQ(lut.m_preLUT != nullptr, second != 0) << name;
        const float half = second != 0 ? 0.5f / size : 0.0f;
        EXPECT_EQ(lut.m_domainMin[2], half) << name;
        EXPECT_EQ(lut.m_domainMax[0], 1.0f - half) << name;
        if (second != 0) {
            EXPECT_EQ(lut.m_preLUT->m_size, 4u) << name;
            EXPECT_EQ(lut.m_preLUT->m_data[5], second) << name;
        }
    }

    CVxLUT oneD;
    ASSERT_EQ(Read(ReadTruelightLut, oneD, TruelightFile(0, curve)), eLoaded);
    EXPECT_FALSE(oneD.m_is3D);
    EXPECT_EQ(oneD.m_data[4 + 2], 0.3f);
}

} // namespace
