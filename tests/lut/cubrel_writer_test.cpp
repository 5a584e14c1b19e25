#include "lut/cubrel_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

namespace {

// The command-line tests compare whole 9-point files; here the fields that
// change with the size.
TEST(CubrelHeader, SizeFields) {
    for (uint32_t exponent = 3; exponent <= 7; ++exponent) {
        const uint32_t n = (1u << exponent) + 1;
        std::vector<uint8_t> buffer(CubrelFileSize(n));
        ASSERT_EQ(buffer.size(), 1024u + 4 * n * n * n);
        PrepareCubrelHeader(buffer.data(), n);
        auto word = [&buffer](size_t at) {
            return uint32_t(buffer[at]) << 24 | buffer[at + 1] << 16 | buffer[at + 2] << 8 |
                   buffer[at + 3];
        };
        EXPECT_EQ(word(16), buffer.size()) << n;
        EXPECT_EQ(word(768), exponent << 16 | 1) << n;
        EXPECT_EQ(word(772), n * n * n) << n;
    }
}

TEST(CubrelCode, ClampsAndQuantises) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, uint32_t> cases[] = {
        {0.0f, 0},   {-0.25f, 0}, {nan, 0},        {-inf, 0},       {1.0f, 1023},     {1.5f, 1023},
        {inf, 1023}, {0.5f, 512}, {0.9996f, 1023}, {0.9995f, 1022}, {1.0f / 1023, 1}, {0.25f, 256}};
    for (const auto& [value, code] : cases)
        EXPECT_EQ(CubrelCode(value), code) << value;
}

// Red-fastest entries become blue-fastest big-endian words, whatever the tiles
// and the bands on several threads that large lattices are packed in.
TEST(CubrelPacking, PutsEveryWordInItsPlace) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-0.1f, 1.1f);
    for (const uint32_t n : {2u, 17u, 65u}) {
        for (const uint32_t channels : {3u, 4u}) {
            std::vector<float> lattice(size_t(n) * n * n * channels);
            for (float& v : lattice)
                v = value(random);
            lattice[channels + 1] = std::numeric_limits<float>::quiet_NaN();
            std::vector<uint8_t> packed(CubrelFileSize(n)), expected(packed.size());
            PackCubrelLattice(lattice.data(), n, channels, packed.data());
            for (size_t r = 0; r < n; ++r)
                for (size_t g = 0; g < n; ++g)
                    for (size_t b = 0; b < n; ++b) {
                        const float* rgb = &lattice[((b * n + g) * n + r) * channels];
                        const uint32_t word = CubrelCode(rgb[0]) << 20 | CubrelCode(rgb[1]) << 10 |
                                              CubrelCode(rgb[2]);
                        uint8_t* at = &expected[kCubrelHeaderSize + ((r * n + g) * n + b) * 4];
                        for (int k = 0; k < 4; ++k)
                            at[k] = uint8_t(word >> (24 - 8 * k));
                    }
            EXPECT_TRUE(std::equal(packed.begin() + kCubrelHeaderSize, packed.end(),
                                   expected.begin() + kCubrelHeaderSize))
                << n << " points, " << channels << " channels";
        }
    }
}

} // namespace
