#include "lut_sample_files.h"

#include <gtest/gtest.h>

namespace {

TEST(CubrelReader, ByteOrdersAndRefusedHeaders) {
    for (bool bigEndian : {true, false}) {
        CVxLUT lut;
        ASSERT_EQ(Read(ReadCubrelLut, lut, CubrelFile(3, bigEndian)), eLoaded);
        ASSERT_EQ(lut.m_size, 9u);
        const float* e = Entry(lut, 2, 3, 4);
        EXPECT_EQ(std::vector<float>(e, e + 4),
                  (std::vector<float>{200.0f / 1023, 30.0f / 1023, 4.0f / 1023, 1.0f}));
    }
    std::vector<std::vector<uint8_t>> files(5, CubrelFile(2, true));
    files[0][661] = 0;   // marker
    files[1][7] = 0xFF;  // data offset beyond the file
    files[2].pop_back(); // one byte short
    files[3][769] = 8;   // 257 points
    files[4] = CubrelFile(2, false);
    files[4][769] = 0xFF; // exponent far beyond the limits
    for (size_t i = 0; i < files.size(); ++i) {
        CVxLUT lut;
        EXPECT_EQ(Read(ReadCubrelLut, lut, files[i]), eFailed) << i;
        EXPECT_EQ(lut.m_size, 0u) << i;
    }
}

} // namespace
