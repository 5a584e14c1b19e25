#include "lut/lut.h"
#include "lut/lut_formats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr EDimensionRequirement kAny = EDimensionRequirement::eAnyDimension;

void PutWord(std::vector<uint8_t>& bytes, uint32_t word) {
    for (int k = 0; k < 4; ++k)
        bytes.push_back(uint8_t(word >> (8 * k)));
}

void PutFloat(std::vector<uint8_t>& bytes, float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    PutWord(bytes, word);
}

float PayloadValue(size_t index) {
    return float(index) * 0.125f - 3.0f;
}

// A container with `entries` payload triples, then cut to `length` bytes (0: keep all).
std::vector<uint8_t> Container(const char* magic, uint32_t size, uint32_t dimensions,
                               uint32_t keyBlock, size_t entries, size_t length = 0) {
    std::vector<uint8_t> bytes(magic, magic + 4);
    PutWord(bytes, size);
    PutWord(bytes, dimensions);
    PutWord(bytes, keyBlock);
    if (std::strcmp(magic, "VTX2") == 0) {
        for (float v : {0.0f, -0.5f, 0.25f, 2.0f, 2.5f, 1.0f})
            PutFloat(bytes, v);
    }
    bytes.resize(bytes.size() + keyBlock, 0);
    for (size_t k = 0; k < entries * 3; ++k)
        PutFloat(bytes, PayloadValue(k));
    if (length != 0)
        bytes.resize(length, 0x7F);
    return bytes;
}

TEST(VxtxReader, HeaderLimitsAndPayloadBounds) {
    constexpr int64_t kRefused = -1;
    struct Case {
        std::vector<uint8_t> file;
        int64_t size;
        bool is3D;
    } cases[] = {
        {Container("VXTX", 257, 1, 0, 257), 257, false},
        {Container("VXTX", 257, 3, 0, 8), kRefused, false},
        {Container("VXTX", 4, 2, 0, 64), kRefused, false},
        {Container("VXTX", 2, 3, 0, 8, 112), 2, true},
        {Container("VXTX", 2, 3, 0, 8, 111), kRefused, false},
        {Container("VXTX", 2, 3, 0, 8, 120), 2, true},
        {Container("VTX2", 3, 3, 0, 27, 40 + 27 * 12 - 1), kRefused, false},
        {Container("VXTX", 0xFFFFFFFFu, 1, 0, 4), kRefused, false},
        {Container("VXTX", 0, 1, 0, 4), 0, false},
        {Container("VXTX", 0, 3, 0, 0, 17), 0, true},
        {Container("VXTX", 4, 0xFFFFFFFFu, 0, 64), kRefused, false},
        {Container("VXTX", 2, 3, 2049, 8), kRefused, false},
        {Container("VXTX", 2, 3, 16, 8), kRefused, false},
    };
    for (size_t k = 0; k < sizeof(cases) / sizeof(cases[0]); ++k) {
        const Case& c = cases[k];
        CVxLUT lut;
        const EReaderResult result = ReadVxtxLut(lut, c.file.data(), c.file.size(), true, kAny);
        EXPECT_EQ(result, c.size == kRefused ? EReaderResult::eFailed : EReaderResult::eLoaded)
            << k;
        EXPECT_EQ(lut.m_preLUT, nullptr);
        if (c.size == kRefused) {
            EXPECT_EQ(lut.m_data, nullptr) << k;
            continue;
        }
        ASSERT_EQ(lut.m_size, uint32_t(c.size)) << k;
        EXPECT_EQ(lut.m_is3D, c.is3D) << k;
        const size_t entries = lut.FloatCount() / 4;
        for (size_t e = 0; e < entries; ++e) {
            for (size_t ch = 0; ch < 3; ++ch)
                ASSERT_EQ(lut.m_data[e * 4 + ch], PayloadValue(e * 3 + ch)) << k << " " << e;
            ASSERT_EQ(lut.m_data[e * 4 + 3], 1.0f);
        }
    }
}

TEST(VxtxReader, DomainsOfBothVersions) {
    const std::vector<uint8_t> plain = Container("VXTX", 2, 3, 0, 8);
    const std::vector<uint8_t> ranged = Container("VTX2", 2, 3, 0, 8);
    CVxLUT lut;
    ASSERT_EQ(ReadVxtxLut(lut, ranged.data(), ranged.size(), false, kAny), EReaderResult::eLoaded);
    const float expectedMin[4] = {0.0f, -0.5f, 0.25f, 1.0f};
    const float expectedMax[4] = {2.0f, 2.5f, 1.0f, 1.0f};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(lut.m_domainMin[c], expectedMin[c]);
        EXPECT_EQ(lut.m_domainMax[c], expectedMax[c]);
    }
    ASSERT_EQ(ReadVxtxLut(lut, plain.data(), plain.size(), false, kAny), EReaderResult::eLoaded);
    EXPECT_EQ(lut.m_domainMin[1], 0.0f) << "VXTX has no domain of its own";
    EXPECT_EQ(lut.m_domainMax[0], 1.0f);
}

} // namespace
