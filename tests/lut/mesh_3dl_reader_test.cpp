#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Output code of grid point (r, g, b), channel c, for a lattice of n points.
uint32_t Code(uint32_t r, uint32_t g, uint32_t b, uint32_t c, uint32_t n, uint32_t largest) {
    const uint32_t index[3] = {r, g, b};
    return index[c] * largest / (n - 1);
}

// Header lines, then n^3 triples in file order (blue fastest), minus `missing`.
std::string MeshFile(const std::string& header, uint32_t n, uint32_t largest, uint32_t missing = 0,
                     const std::string& trailer = "") {
    std::string text = header;
    uint32_t lines = n * n * n - missing;
    for (uint32_t r = 0; r < n; ++r)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t b = 0; b < n && lines > 0; ++b, --lines)
                text += std::to_string(Code(r, g, b, 0, n, largest)) + " " +
                        std::to_string(Code(r, g, b, 1, n, largest)) + " " +
                        std::to_string(Code(r, g, b, 2, n, largest)) + "\r\n";
    return text + trailer;
}

// A shaper line of `count` values k * step, the last one `last`.
std::string ShaperLine(uint32_t count, uint32_t step, uint32_t last) {
    std::string line;
    for (uint32_t k = 0; k < count; ++k)
        line += std::to_string(k + 1 == count ? last : k * step) + (k + 1 == count ? "\n" : " ");
    return line;
}

TEST(Mesh3dlReader, HeadersSizesAndBitDepths) {
    const std::string ramp = ShaperLine(5, 256, 1023);
    // Headers, points and largest output, upsampling, and the size and output
    // scale read (0: not checked). A 12-bit file without a header is converted
    // byte for byte by the command-line tests.
    const std::tuple<std::string, uint32_t, uint32_t, bool, uint32_t, float> cases[] = {
        {"3DMESH\nMesh 4 12\n" + ShaperLine(17, 64, 1023), 17, 4095, false, 17, 1.0f / 4095},
        {"Mesh 4 10\n", 17, 4095, false, 17, 1.0f / 1023},
        {"Mesh 2 16\n", 5, 1000, false, 5, 1.0f / 65535},
        {"# LUT_SIZE : 5 5 5\n", 5, 4095, false, 5, 1.0f / 1023},
        {"#entries = 16\n", 17, 1023, false, 17, 1.0f / 1023},
        {ramp, 5, 1023, false, 5, 1.0f / 1023},
        {ramp, 5, 1024, false, 5, 1.0f / 2047},
        {ramp, 5, 0, false, 5, 1.0f / 1023},
        {"# 0 256 512 768 1023\n", 5, 65535, false, 5, 1.0f / 65535},
        {ShaperLine(17, 4096, 65535), 17, 65535, false, 17, 1.0f / 65535},
        {ramp, 5, 4095, true, 8, 0},
    };
    for (const auto& [header, n, largest, upsample, size, scale] : cases) {
        CVxLUT lut;
        ASSERT_EQ(Read(Read3dlLut, lut, MeshFile(header, n, largest), upsample), eLoaded) << header;
        ASSERT_EQ(lut.m_size, size) << header;
        EXPECT_TRUE(lut.m_is3D);
        EXPECT_EQ(lut.m_preLUT, nullptr);
        EXPECT_EQ(lut.m_domainMin[0], 0.0f);
        EXPECT_EQ(lut.m_domainMax[2], 1.0f);
        if (scale == 0)
            continue;
        // The second line of the file is grid point (0, 0, 1).
        EXPECT_EQ(Entry(lut, 0, 0, 1)[2], float(Code(0, 0, 1, 2, n, largest)) * scale);
        EXPECT_EQ(Entry(lut, n - 1, 1, 0)[0], float(largest) * scale) << header;
        EXPECT_EQ(Entry(lut, n - 1, 1, 0)[1], float(Code(0, 1, 0, 1, n, largest)) * scale);
        EXPECT_EQ(Entry(lut, 0, 1, n - 1)[3], 1.0f);
    }
}

TEST(Mesh3dlReader, ShaperLinesAndPreLuts) {
    // Lines, upsampling, the lattice size, the pre-LUT entries, and the texels of
    // the lattice as sampled: upsampling moves node k to k (m - 1)/(n - 1).
    const std::tuple<std::string, bool, uint32_t, uint32_t, uint32_t> cases[] = {
        // Values below their even positions (i * 2047 / 16) make the line uneven.
        {"0 100 200 300 400 500 600 700 800 900 1000 1100 1200 1300 1400 1500 1600", false, 17,
         2048, 17},
        {"0 300 600 900 1023", false, 5, 0, 0},
        {"0 0 0 1", false, 4, 0, 0},
        {"0 16 64 256 1023", false, 5, 1024, 5},
        {"0 16 64 256 1023", true, 5, 1024, 8},
        {"10 10 10 300 4096", false, 5, 4096, 5},
        {"0 1000 4000 16000 65535", false, 5, 65536, 5},
    };
    for (const auto& [line, upsample, lattice, preEntries, texels] : cases) {
        CVxLUT lut;
        ASSERT_TRUE(Read3dlShaperLine(lut, line.data(), line.size(), upsample, false));
        ASSERT_EQ(lut.m_size, lattice);
        ASSERT_EQ(lut.m_preLUT != nullptr, preEntries != 0) << line;
        if (preEntries == 0)
            continue;
        const CVxLUT& pre = *lut.m_preLUT;
        ASSERT_EQ(pre.m_size, preEntries);
        EXPECT_FALSE(pre.m_is3D);
        const float u = 1.0f / float(texels);
        const float spacing = float(texels - 1) / float(lattice - 1);
        uint32_t values[5];
        sscanf(line.c_str(), "%u %u %u %u %u", &values[0], &values[1], &values[2], &values[3],
               &values[4]);
        // Each distinct code value lands on the texel centre of its own node.
        for (uint32_t k = 0; k < 5; ++k) {
            if (values[k] < pre.m_size && (k == 4 || values[k + 1] != values[k])) {
                EXPECT_NEAR(pre.m_data[values[k] * 4], (k * spacing + 0.5f) * u, 2e-5)
                    << line << " " << k;
            }
        }
        EXPECT_EQ(pre.m_data[0], 0.5f * u);
        const float* middle = pre.m_data + pre.m_size / 2 * 4;
        EXPECT_EQ(middle[0], middle[2]);
        EXPECT_EQ(middle[3], 1.0f);
    }

    CVxLUT lut;
    const std::string file = MeshFile("0 16 64 256 1023\n", 5, 1023);
    ASSERT_EQ(Read(Read3dlLut, lut, file), eLoaded);
    EXPECT_EQ(lut.m_domainMin[0], 0.1f);
    EXPECT_EQ(lut.m_domainMax[1], 0.9f);
    float rgb[3] = {16.0f / 1023, 64.0f / 1023, 1.0f};
    lut.Apply(rgb);
    EXPECT_NEAR(rgb[0], 255.0f / 1023, 1e-5);
    EXPECT_NEAR(rgb[1], 511.0f / 1023, 1e-5);
    EXPECT_NEAR(rgb[2], 1.0f, 1e-5);
    ASSERT_EQ(Read(Read3dlLut, lut, file, true), eLoaded);
    EXPECT_EQ(lut.m_size, 8u);
    EXPECT_EQ(lut.m_domainMin[2], 0.0625f);
}

TEST(Mesh3dlReader, BadInputIsRefusedCleanly) {
    const std::string ramp = ShaperLine(5, 256, 1023);
    const std::pair<std::string, EReaderResult> cases[] = {
        {MeshFile("0 512 1023\n", 3, 1023), eNotRecognised},
        {MeshFile("# 0 512 1023\n", 3, 1023), eFailed},
        {MeshFile("#" + ShaperLine(257, 4, 1024), 4, 1023), eFailed},
        {MeshFile("0 300 200 600 1023\n", 5, 1023), eNotRecognised},
        {MeshFile("0 1000 2000 3000 65537\n", 5, 1023), eNotRecognised},
        {MeshFile("#0 1000 2000 3000 65537\n", 5, 1023), eFailed},
        {MeshFile("Mesh 8 12\n", 3, 1023), eFailed},
        {MeshFile("# LUT_SIZE : 17 17 33\n", 17, 1023), eFailed},
        {MeshFile("# LUT_SIZE : 257 257 257\n", 3, 1023), eFailed},
        {MeshFile("#entries = 12\n", 13, 1023), eFailed},
        {MeshFile("3DMEX\n" + ramp, 5, 1023), eNotRecognised},
        {MeshFile(ramp, 5, 1023, 1), eFailed},
        {MeshFile("0 0 0 0\n" + ramp, 5, 1023, 1), eFailed},
        {MeshFile("0 16 64 256 1023\n", 5, 1023, 1), eFailed},
        {MeshFile(ramp, 5, 1023, 0, "1 2 3 4\nend of table\n"), eLoaded},
        {"plain words\nmore words\n", eNotRecognised},
        {"", eNotRecognised},
    };
    for (const auto& [text, result] : cases) {
        CVxLUT lut;
        EXPECT_EQ(Read(Read3dlLut, lut, text), result) << text.substr(0, 40);
        if (result == eLoaded)
            continue;
        EXPECT_EQ(lut.m_size, 0u) << text.substr(0, 40);
        EXPECT_EQ(lut.m_data, nullptr);
        EXPECT_EQ(lut.m_preLUT, nullptr);
    }
}

} // namespace
