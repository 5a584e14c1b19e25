#include "lut_sample_files.h"

#include <gtest/gtest.h>

namespace {

TEST(CubeReader, AcceptedAndRefused) {
    const std::string header3 = "# comment\nTITLE \"x\"\nLUT_3D_SIZE 3\n";
    const struct {
        const char* name;
        std::string text;
        EReaderResult result;
        uint32_t size;
        bool is3D;
    } cases[] = {
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
    for (const auto& c : cases) {
        CVxLUT lut;
        EXPECT_EQ(Read(ReadCubeLut, lut, c.text), c.result) << c.name;
        EXPECT_EQ(lut.m_size, c.size) << c.name;
        EXPECT_EQ(lut.m_is3D, c.is3D) << c.name;
    }
}

TEST(CubeReader, ValuesAndDomain) {
    CVxLUT lut;
    const std::string text = "DOMAIN_MIN 0 0 0\nDOMAIN_max 2 2 2\nLUT_3D_SIZE 2\n" + CubeBody(2, 8);
    ASSERT_EQ(Read(ReadCubeLut, lut, text), eLoaded);
    EXPECT_EQ(lut.m_domainMax[1], 2.0f);
    EXPECT_EQ(lut.m_domainMax[3], 1.0f);
    EXPECT_EQ(Entry(lut, 1, 0, 0)[0], 1.0f);
    EXPECT_EQ(Entry(lut, 0, 1, 1)[3], 1.0f);
    float rgb[3] = {1.0f, 1.0f, 0.0f};
    lut.Apply(rgb);
    EXPECT_EQ(rgb[0], 0.5f) << "1.0 is the middle of the domain [0, 2]";
}

} // namespace
