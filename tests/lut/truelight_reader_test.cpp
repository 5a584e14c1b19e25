#include "lut_sample_files.h"

#include <gtest/gtest.h>

namespace {

TEST(TruelightReader, InputTableAndCube) {
    const std::string curve = "0 0 0\n0.1 0.2 0.3\n0.5 0.5 0.5\n1 1 1\n";
    CVxLUT identity;
    ASSERT_EQ(Read(ReadTruelightLut, identity, TruelightFile(3, kIdentityRamp)), eLoaded);
    EXPECT_EQ(identity.m_preLUT, nullptr);
    EXPECT_EQ(identity.m_domainMin[0], 0.0f);
    EXPECT_EQ(Entry(identity, 2, 1, 0)[0], 1.0f);

    CVxLUT shaped;
    ASSERT_EQ(Read(ReadTruelightLut, shaped, TruelightFile(17, curve)), eLoaded);
    ASSERT_NE(shaped.m_preLUT, nullptr);
    EXPECT_EQ(shaped.m_preLUT->m_size, 4u);
    EXPECT_EQ(shaped.m_preLUT->m_data[5], 0.2f * (1.0f - 1.0f / 32) + 0.5f / 32);
    EXPECT_EQ(shaped.m_domainMin[2], 0.5f / 17);
    EXPECT_EQ(shaped.m_domainMax[0], 1.0f - 0.5f / 17);

    CVxLUT oneD;
    ASSERT_EQ(Read(ReadTruelightLut, oneD, TruelightFile(0, curve)), eLoaded);
    EXPECT_FALSE(oneD.m_is3D);
    EXPECT_EQ(oneD.m_data[4 + 2], 0.3f);
}

TEST(TruelightReader, RefusedAndHandedOn) {
    const std::string ramp = "0 0 0\n0.5 0.5 0.5\n0.7 0.7 0.7\n1 1 1\n";
    const struct {
        const char* name;
        std::string text;
        EReaderResult result;
    } cases[] = {
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
    for (const auto& c : cases) {
        CVxLUT lut;
        EXPECT_EQ(Read(ReadTruelightLut, lut, c.text), c.result) << c.name;
        EXPECT_EQ(lut.m_size, 0u) << c.name;
        EXPECT_EQ(lut.m_preLUT, nullptr) << c.name;
    }
}

} // namespace
