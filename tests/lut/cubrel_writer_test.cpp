#include "lut/cubrel_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const uint8_t* at, size_t count) {
    return {at, at + count};
}

std::vector<uint8_t> BigEndian(uint32_t value) {
    return {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
}

bool AllBytesEqual(const uint8_t* at, size_t count, uint8_t value) {
    for (size_t i = 0; i < count; ++i)
        if (at[i] != value)
            return false;
    return true;
}

TEST(CubrelHeader, LayoutPerSize) {
    for (uint32_t exponent = 3; exponent <= 7; ++exponent) {
        const uint32_t n = (1u << exponent) + 1;
        std::vector<uint8_t> buffer(CubrelFileSize(n), 0xAB);
        ASSERT_EQ(buffer.size(), 1024u + 4 * n * n * n);
        PrepareCubrelHeader(buffer.data(), n);
        const uint8_t* h = buffer.data();
        const uint32_t count = n * n * n;
        EXPECT_EQ(Bytes(h, 16),
                  Bytes(reinterpret_cast<const uint8_t*>("3LUT\0\0\4\0V1.0\0\0\0\0"), 16));
        EXPECT_EQ(Bytes(h + 16, 4), BigEndian(uint32_t(buffer.size()))) << n;
        EXPECT_TRUE(AllBytesEqual(h + 20, 16, 0xFF));
        EXPECT_TRUE(AllBytesEqual(h + 36, 624, 0x00));
        EXPECT_TRUE(AllBytesEqual(h + 660, 4, 0xFF));
        EXPECT_TRUE(AllBytesEqual(h + 664, 104, 0x00));
        EXPECT_EQ(Bytes(h + 768, 4), (std::vector<uint8_t>{0, uint8_t(exponent), 0, 1})) << n;
        EXPECT_EQ(Bytes(h + 772, 4), BigEndian(count)) << n;
        EXPECT_TRUE(AllBytesEqual(h + 776, 248, 0xFF));
        EXPECT_EQ(buffer[1024], 0xAB) << "the lattice area is left to the writer";
    }
}

TEST(CubrelCode, ClampsAndQuantises) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        uint32_t code;
    } cases[] = {{0.0f, 0},       {-0.25f, 0},     {nan, 0},         {-inf, 0},
                 {1.0f, 1023},    {1.5f, 1023},    {inf, 1023},      {0.5f, 512},
                 {0.9996f, 1023}, {0.9995f, 1022}, {1.0f / 1023, 1}, {0.25f, 256}};
    for (const auto& c : cases)
        EXPECT_EQ(CubrelCode(c.value), c.code) << c.value;
}

// A lattice whose entries tell their own red, green and blue index as codes.
std::vector<float> IndexLattice(uint32_t n, uint32_t channels) {
    std::vector<float> lattice;
    for (uint32_t b = 0; b < n; ++b)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t r = 0; r < n; ++r) {
                const float entry[4] = {r / 1023.0f, g / 1023.0f, b / 1023.0f, 1.0f};
                lattice.insert(lattice.end(), entry, entry + channels);
            }
    return lattice;
}

TEST(CubrelPacking, BlueFastestBigEndianWordsFromThreeOrFourChannels) {
    const uint32_t n = 3;
    for (uint32_t channels : {3u, 4u}) {
        std::vector<uint8_t> buffer(CubrelFileSize(n));
        PackCubrelLattice(IndexLattice(n, channels).data(), n, channels, buffer.data());
        for (uint32_t r = 0; r < n; ++r)
            for (uint32_t g = 0; g < n; ++g)
                for (uint32_t b = 0; b < n; ++b) {
                    const uint8_t* at = buffer.data() + 1024 + 4 * ((r * n + g) * n + b);
                    const uint32_t word = uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 |
                                          uint32_t(at[2]) << 8 | at[3];
                    EXPECT_EQ(word, r << 20 | g << 10 | b) << channels << ": " << r << g << b;
                }
    }
}

} // namespace
