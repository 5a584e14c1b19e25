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

// The command-line tests compare whole 9-point files; here the fields that
// change with the size.
TEST(CubrelHeader, SizeFields) {
    for (uint32_t exponent = 3; exponent <= 7; ++exponent) {
        const uint32_t n = (1u << exponent) + 1;
        std::vector<uint8_t> buffer(CubrelFileSize(n));
        ASSERT_EQ(buffer.size(), 1024u + 4 * n * n * n);
        PrepareCubrelHeader(buffer.data(), n);
        const uint8_t* h = buffer.data();
        EXPECT_EQ(Bytes(h + 16, 4), BigEndian(uint32_t(buffer.size()))) << n;
        EXPECT_EQ(Bytes(h + 768, 4), (std::vector<uint8_t>{0, uint8_t(exponent), 0, 1})) << n;
        EXPECT_EQ(Bytes(h + 772, 4), BigEndian(n * n * n)) << n;
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

} // namespace
