#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(VxtxReader, HeaderLimitsAndPayloadBounds) {
    constexpr int64_t kRefused = -1;
    // Files, and the size and dimension they give.
    const std::tuple<std::vector<uint8_t>, int64_t, bool> cases[] = {
        {Container("VXTX", 257, 1, 0, 257), 257, false},
        {Container("VXTX", 257, 3, 0, 8), kRefused, false},
        {Container("VXTX", 4, 2, 0, 64), kRefused, false},
        {Container("VXTX", 2, 3, 0, 8, 112), 2, true},
        {Container("VXTX", 2, 3, 0, 8, 111), kRefused, false},
        {Container("VXTX", 2, 3, 0, 8, 120), 2, true},
        {Container("VTX2", 2, 3, 0, 8), 2, true},
        {Container("VTX2", 3, 3, 0, 27, 40 + 27 * 12 - 1), kRefused, false},
        {Container("VXTX", 0xFFFFFFFFu, 1, 0, 4), kRefused, false},
        {Container("VXTX", 0, 1, 0, 4), 0, false},
        {Container("VXTX", 0, 3, 0, 0, 17), 0, true},
        {Container("VXTX", 4, 0xFFFFFFFFu, 0, 64), kRefused, false},
        {Container("VXTX", 2, 3, 2049, 8), kRefused, false},
        {Container("VXTX", 2, 3, 16, 8), kRefused, false},
    };
    // VTX2 carries its own domain; VXTX covers [0, 1].
    const std::vector<float> ranged = {0, -0.5f, 0.25f, 1, 2, 2.5f, 1, 1};
    const std::vector<float> unit = {0, 0, 0, 0, 1, 1, 1, 1};
    int k = 0;
    for (const auto& [file, size, is3D] : cases) {
        ++k;
        CVxLUT lut;
        // Read over a VTX2 lattice: a 2-point file keeps its storage but not its domain.
        if (size != kRefused)
            Read(ReadVxtxLut, lut, Container("VTX2", 2, 3, 0, 8));
        EXPECT_EQ(Read(ReadVxtxLut, lut, file, true), size == kRefused ? eFailed : eLoaded) << k;
        EXPECT_EQ(lut.m_preLUT, nullptr);
        if (size == kRefused) {
            EXPECT_EQ(lut.m_data, nullptr) << k;
            continue;
        }
        ASSERT_EQ(std::pair(lut.m_size, lut.m_is3D), std::pair(uint32_t(size), is3D)) << k;
        std::vector<float> domain(lut.m_domainMin, lut.m_domainMin + 4);
        domain.insert(domain.end(), lut.m_domainMax, lut.m_domainMax + 4);
        EXPECT_EQ(domain, file[1] == 'T' ? ranged : unit) << k;
        std::vector<float> expected(lut.FloatCount());
        for (size_t i = 0; i < expected.size(); ++i)
            expected[i] = i % 4 == 3 ? 1.0f : PayloadValue(i / 4 * 3 + i % 4);
        EXPECT_EQ(std::vector<float>(lut.m_data, lut.m_data + expected.size()), expected) << k;
    }
}

} // namespace
