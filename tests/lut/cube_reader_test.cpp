#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(CubeReader, AcceptedAndRefused) {
    const std::string header3 = "# comment\nTITLE \"x\"\nLUT_3D_SIZE 3\n";
    const std::tuple<const char*, std::string, EReaderResult, uint32_t, bool> cases[] = {
        {"3d", header3 + CubeBody(3, 27), eLoaded, 3, true},
        {"1d", "LUT_1D_SIZE 4\n" + CubeBody(4, 4), eLoaded, 4, false},
        {"half", header3 + CubeBody(3, 13), eFailed, 0, false},
        {"bad data line", header3 + CubeBody(3, 5) + "0.1x 0 0\n" + CubeBody(3, 27), eFailed, 0,
         false},
        {"no size", CubeBody(3, 27), eNotRecognised, 0, false},
        {"domain word", "DOMAIN_MID 0 0 0\n" + header3 + CubeBody(3, 27), eFailed, 0, false},
        {"size 0 is an empty table", "LUT_3D_SIZE 0\n0 0 0\n", eLoaded, 0, true},
        {"size 1", "LUT_3D_SIZE 1\n0.5 0.5 0.5\n", eLoaded, 1, true},
        {"size 257", "LUT_3D_SIZE 257\n", eFailed, 0, false},
        {"trailing letters after three numbers", "LUT_3D_SIZE 2\n" + CubeBody(2, 7) + "1 1 1z\n",
         eLoaded, 2, true},
    };
    for (const auto& [name, text, result, size, is3D] : cases) {
        CVxLUT lut;
        EXPECT_EQ(Read(ReadCubeLut, lut, text), result) << name;
        EXPECT_EQ(std::pair(lut.m_size, lut.m_is3D), std::pair(size, is3D)) << name;
    }
}

// Domains, input ranges, shapers and keywords in any case, on 2-point identity
// lattices: what Apply gives at one input tells which range was taken. The
// command-line tests convert files with each of these lines alone.
TEST(CubeReader, RangesShapersAndKeywordCase) {
    const std::string lattice = CubeBody(2, 8);
    const std::string shaper = "0 0 0\n1 1 1\n4 4 4\n"; // over [0, 2]: 0, 1, 4
    const std::string shaped = "LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE 0 2\nLUT_3D_INPUT_RANGE 0 4\n";
    const std::tuple<const char*, std::string, EReaderResult, uint32_t, float, float> cases[] = {
        {"mixed case", "lut_3d_size 2\ndomain_min -1 -1 -1\nDomain_Max 3 3 3\n" + lattice, eLoaded,
         0, 1, 0.5f},
        {"range wins over domain",
         "LUT_3D_INPUT_RANGE -1 3\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 2 2 2\nLUT_3D_SIZE 2\n" + lattice,
         eLoaded, 0, 1, 0.5f},
        {"1D range", "LUT_1D_SIZE 2\nlut_1d_input_range 0 4\n0 0 0\n1 1 1\n", eLoaded, 0, 1, 0.25f},
        {"range of a table the file lacks", "LUT_1D_INPUT_RANGE 0 4\nLUT_3D_SIZE 2\n" + lattice,
         eLoaded, 0, 1, 1},
        {"lattice size first", "LUT_3D_SIZE 2\n" + shaped + shaper + lattice, eLoaded, 3, 1.5f,
         0.625f},
        {"domain lines range the shaper",
         "DOMAIN_MIN 0 0 0\nDOMAIN_MAX 2 2 2\nLUT_1D_SIZE 3\nLUT_3D_SIZE 2\n" + shaper + lattice,
         eLoaded, 3, 0.5f, 0.5f},
        {"empty shaper", "LUT_1D_SIZE 0\nLUT_3D_SIZE 2\n" + lattice, eLoaded, 0, 0.5f, 0.5f},
        {"short lattice", shaped + "LUT_3D_SIZE 2\n" + shaper + CubeBody(2, 7), eFailed, 0, 0, 0},
        {"size after the first row", shaped + "LUT_3D_SIZE 2\n0 0 0\nLUT_3D_SIZE 2\n" + lattice,
         eFailed, 0, 0, 0},
        {"range without two numbers", "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0\n" + lattice, eFailed, 0,
         0, 0},
    };
    for (const auto& [name, text, result, preSize, in, out] : cases) {
        CVxLUT lut;
        ASSERT_EQ(Read(ReadCubeLut, lut, text), result) << name;
        ASSERT_EQ(lut.m_preLUT ? lut.m_preLUT->m_size : 0u, preSize) << name;
        if (result != eLoaded)
            continue;
        float rgb[3] = {in, in, in};
        lut.Apply(rgb);
        EXPECT_NEAR(rgb[1], out, 1e-6) << name;
        EXPECT_EQ(Entry(lut, 1, 0, 1)[3], 1.0f) << name;
        if (preSize != 0) { // the shaper delivers texel centres of the lattice
            EXPECT_EQ(lut.m_domainMin[0], 0.25f) << name;
        } else {
            EXPECT_EQ(lut.m_domainMax[3], 1.0f) << name;
        }
    }
}

} // namespace
