// The readers of the formats the program reads itself: what each makes of a
// file, and what it refuses; how Load picks among them; the text scanning they share.

#include "lut/lut_text.h"

#include "../support/scratch_folder.h"
#include "../support/system_luts.h"
#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

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

// Input tables in lattice index units are normalised before the identity
// test (an identity in index units is converted by the command-line tests);
// the pre-LUT maps onto the texel centres of the lattice as sampled.
TEST(TruelightReader, InputTableAndCube) {
    const std::string curve = "0 0 0\n0.1 0.2 0.3\n0.5 0.5 0.5\n1 1 1\n";
    const auto mapped = [](float v, float texels) {
        return v * (1.0f - 1.0f / texels) + 0.5f / texels;
    };
    // Last: green of the pre-LUT's second entry; 0 for no pre-LUT.
    const std::tuple<const char*, int, std::string, bool, uint32_t, float> cases[] = {
        {"identity", 3, kIdentityRamp, false, 3, 0},
        {"curve", 17, curve, false, 17, mapped(0.2f, 17)},
        {"index units", 17, "0 0 0\n1.6 3.2 4.8\n8 8 8\n16 16 16\n", false, 17,
         mapped(3.2f / 16, 17)},
        {"headroom stays normalised", 3, "0 0 0\n0.4 0.4 0.4\n0.8 0.8 0.8\n1.5 1.5 1.5\n", false, 3,
         mapped(0.4f, 3)},
        {"width 2 is never in index units", 2, "0 0 0\n0.5 0.5 0.5\n1 1 1\n2 2 2\n", false, 2,
         mapped(0.5f, 2)},
        {"upsampled lattice", 17, curve, true, 32, mapped(0.2f, 32)},
    };
    for (const auto& [name, width, input, upsample, size, second] : cases) {
        CVxLUT lut;
        ASSERT_EQ(Read(ReadTruelightLut, lut, TruelightFile(width, input), upsample), eLoaded)
            << name;
        ASSERT_EQ(lut.m_size, size) << name;
        EXPECT_EQ(Entry(lut, size - 1, 1, 0)[0], 1.0f) << name;
        ASSERT_EQ(lut.m_preLUT != nullptr, second != 0) << name;
        const float half = second != 0 ? 0.5f / size : 0.0f;
        EXPECT_EQ(lut.m_domainMin[2], half) << name;
        EXPECT_EQ(lut.m_domainMax[0], 1.0f - half) << name;
        if (second != 0) {
            EXPECT_EQ(lut.m_preLUT->m_size, 4u) << name;
            EXPECT_EQ(lut.m_preLUT->m_data[5], second) << name;
        }
    }

    CVxLUT oneD;
    ASSERT_EQ(Read(ReadTruelightLut, oneD, TruelightFile(0, curve)), eLoaded);
    EXPECT_FALSE(oneD.m_is3D);
    EXPECT_EQ(oneD.m_data[4 + 2], 0.3f);
}

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

TEST(CubrelReader, ByteOrders) {
    for (bool bigEndian : {true, false}) {
        CVxLUT lut;
        ASSERT_EQ(Read(ReadCubrelLut, lut, CubrelFile(3, bigEndian)), eLoaded);
        ASSERT_EQ(lut.m_size, 9u);
        const float* e = Entry(lut, 2, 3, 4);
        EXPECT_EQ(std::vector<float>(e, e + 4),
                  (std::vector<float>{200.0f / 1023, 30.0f / 1023, 4.0f / 1023, 1.0f}));
    }
}

TEST(LookLutReader, DataSizeAndDomain) {
    std::vector<float> values(24);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = float(i) / 8;
    const std::string hex = HexOf(values);
    std::string spaced = hex.substr(0, 10) + " \n" + hex.substr(10);
    CVxLUT lut;
    const std::string others = "<domainmax>\"2,3\"</domainmax><note>\"x\"</note>";
    ASSERT_EQ(Read(ReadLookLut, lut, LookWith(SizedData(spaced, others))), eLoaded);
    EXPECT_EQ(lut.m_size, 2u);
    EXPECT_EQ(Entry(lut, 1, 1, 1)[2], 23.0f / 8);
    EXPECT_EQ(Entry(lut, 1, 1, 1)[3], 1.0f);
    EXPECT_EQ(lut.m_domainMax[2], 2.0f);
    EXPECT_EQ(lut.m_domainMax[3], 3.0f);

    std::string lower = hex;
    lower[1] = 'a';
    const std::tuple<const char*, std::string, EReaderResult> cases[] = {
        {"too much data", SizedData(hex + "00"), eFailed},
        {"odd digits", SizedData(hex.substr(0, 23)), eLoaded},
        {"lower-case digit dropped", SizedData(lower), eLoaded},
        {"empty data", SizedData("xyz"), eFailed},
        {"data before size", "<data>\"" + hex + "\"</data><size>\"2\"</size>", eFailed},
        {"bad size", "<size>\"2x\"</size>", eFailed},
        {"no data", "<size>\"2\"</size>", eFailed},
    };
    for (const auto& [name, children, result] : cases) {
        CVxLUT one;
        EXPECT_EQ(Read(ReadLookLut, one, LookWith(children)), result) << name;
    }
    // Every hex digit, in runs cut by dropped bytes at every offset.
    const uint32_t words[] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};
    std::vector<float> patterns(24);
    for (size_t i = 0; i < patterns.size(); ++i)
        patterns[i] = std::bit_cast<float>(words[i % 4] ^ uint32_t(i));
    const std::string all = HexOf(patterns);
    for (size_t at = 0; at <= 17; ++at)
        for (const char* gap : {"\n      ", "a", "\r\n"}) {
            CVxLUT cut;
            const std::string data = all.substr(0, at) + gap + all.substr(at);
            ASSERT_EQ(Read(ReadLookLut, cut, LookWith(SizedData(data))), eLoaded) << data;
            for (size_t i = 0; i < patterns.size(); ++i)
                EXPECT_EQ(std::bit_cast<uint32_t>(cut.m_data[i / 3 * 4 + i % 3]),
                          std::bit_cast<uint32_t>(patterns[i]))
                    << at << gap;
        }
    CVxLUT empty;
    EXPECT_EQ(
        Read(ReadLookLut, empty, std::string("<?xml?><look></look><LUT><size>\"2\"</size></LUT>")),
        eFailed);
}

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

// A Cubrel file of 5 points with one byte changed, or cut short by one byte.
std::string CubrelWith(bool bigEndian, size_t at = 0, uint8_t value = 0) {
    std::vector<uint8_t> file = CubrelFile(2, bigEndian);
    if (at == 0)
        file.pop_back();
    else
        file[at] = value;
    return std::string(file.begin(), file.end());
}

// What each reader refuses, failing or handing the file on, and leaving no table.
TEST(LutReaders, BadInputIsRefusedCleanly) {
    const std::string ramp = ShaperLine(5, 256, 1023);
    const std::string truelightRamp = "0 0 0\n0.5 0.5 0.5\n0.7 0.7 0.7\n1 1 1\n";
    const std::tuple<LutReader*, std::string, EReaderResult> cases[] = {
        {ReadTruelightLut, "# iDims 2\n", eFailed},
        {ReadTruelightLut, "# lutLength 4097\n", eFailed},
        {ReadTruelightLut, "# width 3 3 4\n", eFailed},
        {ReadTruelightLut, "# width 257 257 257\n", eFailed},
        {ReadTruelightLut, TruelightFile(2, truelightRamp, "0.5 0.5 0.5\n"), eFailed},
        {ReadTruelightLut, TruelightFile(2, "0 0 0\n0.5 0.5\n"), eFailed},
        {ReadTruelightLut, "#  Truelight  Cube v2\n0 0 0\n", eFailed}, // blanks match any run
        // A short cube undoes the input table.
        {ReadTruelightLut,
         "# Truelight Cube v2\n# lutLength 2\n# InputLUT\n0 0 0\n1 1 1\n# width 2 2 2\n# Cube\n",
         eFailed},
        {ReadTruelightLut, "# a comment\n0 0 0\n", eNotRecognised},
        {ReadTruelightLut, "# width 2 2 2\n# Cube\n0 0 0\n", eNotRecognised},
        {ReadCubrelLut, CubrelWith(true, 661), eFailed},        // marker
        {ReadCubrelLut, CubrelWith(true, 7, 0xFF), eFailed},    // data offset beyond the file
        {ReadCubrelLut, CubrelWith(true), eFailed},             // one byte short
        {ReadCubrelLut, CubrelWith(true, 769, 8), eFailed},     // 257 points
        {ReadCubrelLut, CubrelWith(false, 769, 0xFF), eFailed}, // exponent far beyond the limits
        {Read3dlLut, MeshFile("0 512 1023\n", 3, 1023), eNotRecognised},
        {Read3dlLut, MeshFile("# 0 512 1023\n", 3, 1023), eFailed},
        {Read3dlLut, MeshFile("#" + ShaperLine(257, 4, 1024), 4, 1023), eFailed},
        {Read3dlLut, MeshFile("0 300 200 600 1023\n", 5, 1023), eNotRecognised},
        {Read3dlLut, MeshFile("0 1000 2000 3000 65537\n", 5, 1023), eNotRecognised},
        {Read3dlLut, MeshFile("#0 1000 2000 3000 65537\n", 5, 1023), eFailed},
        {Read3dlLut, MeshFile("Mesh 8 12\n", 3, 1023), eFailed},
        {Read3dlLut, MeshFile("# LUT_SIZE : 17 17 33\n", 17, 1023), eFailed},
        {Read3dlLut, MeshFile("# LUT_SIZE : 257 257 257\n", 3, 1023), eFailed},
        {Read3dlLut, MeshFile("#entries = 12\n", 13, 1023), eFailed},
        {Read3dlLut, MeshFile("3DMEX\n" + ramp, 5, 1023), eNotRecognised},
        {Read3dlLut, MeshFile(ramp, 5, 1023, 1), eFailed},
        {Read3dlLut, MeshFile("0 0 0 0\n" + ramp, 5, 1023, 1), eFailed},
        {Read3dlLut, MeshFile("0 16 64 256 1023\n", 5, 1023, 1), eFailed},
        {Read3dlLut, MeshFile(ramp, 5, 1023, 0, "1 2 3 4\nend of table\n"), eLoaded},
        {Read3dlLut, "plain words\nmore words\n", eNotRecognised},
        {Read3dlLut, "", eNotRecognised},
    };
    int row = 0;
    for (const auto& [reader, text, result] : cases) {
        ++row;
        CVxLUT lut;
        EXPECT_EQ(Read(reader, lut, text), result) << row;
        if (result != eLoaded) {
            EXPECT_TRUE(lut.m_size == 0 && !lut.m_data && !lut.m_preLUT) << row;
        }
    }
}

// A header line, then `tables` tables of `length` values, value(i, table) one per line.
std::string Table(const std::string& header, uint32_t tables, uint32_t length,
                  const std::function<uint32_t(uint32_t, uint32_t)>& value) {
    std::string text = header + "\n";
    for (uint32_t c = 0; c < tables; ++c)
        for (uint32_t i = 0; i < length; ++i)
            text += std::to_string(value(i, c)) + "\n";
    return text;
}

uint32_t Ramp(uint32_t i, uint32_t) {
    return i;
}

// Table c holds i, largest - i, i / 2, largest.
std::function<uint32_t(uint32_t, uint32_t)> Channels(uint32_t largest) {
    return [largest](uint32_t i, uint32_t c) {
        return c == 0 ? i : c == 1 ? largest - i : c == 2 ? i / 2 : largest;
    };
}

// Which headers are Discreet tables, what their entries mean, and which
// files they refuse. A table of another header is a curve set of 1024 entries.
// Only "logto12" and "photo" name a depth; the other names are free. Tables of
// 12 bits with alpha, logto12 and half floats in and out are compared with
// OpenColorIO end to end.
TEST(Discreet1dReader, HeadersDepthsAndRefusals) {
    constexpr auto kOnly3D = EDimensionRequirement::eOnly3D;
    constexpr auto kOnly1D = EDimensionRequirement::eOnly1D;
    const float c8 = 1.0f / 255, c10 = 1.0f / 1023, c12 = 1.0f / 4095, h = 127 * c8;
    const auto gray = [](uint32_t i, float v) { return Expected{i, v, v, v}; };
    const std::string eight = Table("LUT: 3 256", 3, 256, Channels(255));
    const std::string ramp10 = Table("LUT: 3 1024", 3, 1024, Ramp);
    const std::string after0 = "\n" + Table("", 1, 255, Ramp).substr(1);
    const std::string comments =
        "# a table\n\n#\nLUT: 1 256\n0\n" +
        Table("# values", 1, 255, [](uint32_t i, uint32_t) { return i + 1; }) +
        "# trailing words\n";
    const std::string tab =
        Table("lut:\t1 1024 4096", 1, 1024, [](uint32_t i, uint32_t) { return i * 4; });
    struct Case {
        const char* name;
        std::string text;
        EDimensionRequirement requirement;
        uint32_t size; // 0: the load fails
        std::vector<Expected> entries;
    } cases[] = {
        {"a.lut", eight, kAny, 256, {{0, 0, 1, 0}, {128, 128 * c8, h, 64 * c8}, {255, 1, 0, h}}},
        {"a.lut", eight, kOnly1D, 256, {{255, 1, 0, h}}},
        {"a.lut", eight, kOnly3D, 0, {}},
        {"a.lut", comments, kAny, 256, {gray(1, c8)}},
        {"a.lut", tab, kAny, 1024, {gray(1023, 4092 * c12)}},
        {"photo.lut", ramp10, kAny, 1024, {gray(1023, 1), gray(1, c10)}},
        // Other headers: the curve set's integer table, entry i at i / 1023.
        {"a.lut", Table("LUT 3 256", 3, 256, Channels(255)), kAny, 1024, {{1023, 1, 0, h}}},
        {"a.lut", Table("LUT:3 256", 3, 256, Channels(255)), kAny, 1024, {{255, 1, 0, h}}},
        {"a.lut", Table("LUT: 1 512", 1, 512, Ramp), kAny, 1024, {gray(511, 511 * c10)}},
        {"a.lut", Table("LUT: 2 1024", 2, 1024, Channels(1023)), kAny, 1024, {{0, 0, 1, 1}}},
        // Refused.
        {"a.lut", Table("LUT: 3 256 12", 3, 256, Ramp), kAny, 0, {}},
        {"a.lut", eight.substr(0, eight.size() - 4), kAny, 0, {}},
        {"a.lut", "LUT: 1 256\n65536" + after0, kAny, 0, {}},
        {"a.lut", "LUT: 1 256\n0x10" + after0, kAny, 0, {}},
    };
    ScratchFolder scratch;
    for (const Case& c : cases) {
        CVxLUT lut;
        const std::string path = scratch.Write(c.name, c.text);
        EXPECT_EQ(lut.Load(SystemLuts::Plain(), path.c_str(), false, c.requirement, true),
                  c.size != 0)
            << c.name << c.text.substr(0, 20);
        ASSERT_EQ(lut.m_size, c.size) << c.name << c.text.substr(0, 20);
        if (c.size == 0)
            continue;
        EXPECT_FALSE(lut.m_is3D);
        EXPECT_EQ(lut.m_preLUT, nullptr);
        EXPECT_EQ(lut.m_domainMin[0], 0.0f);
        EXPECT_EQ(lut.m_domainMax[2], 1.0f);
        ExpectEntries(lut.m_data, c.entries, c.name);
    }
}

// The program never asks for upsampling itself; the setting does. Cube files,
// which it never upsamples, and cube, 3DL and curve-set files after a
// byte-order mark are converted by the command-line tests.
TEST(LutLoad, RecognitionOrderAndUpsamplingSetting) {
    ScratchFolder scratch;
    SystemLuts luts;
    const std::vector<uint8_t> cubrel = CubrelFile(0, true, 0, 809), cubrel17 = CubrelFile(4, true);
    const std::vector<uint8_t> empty = Container("VXTX", 0, 1, 0, 0, 17);
    const std::string look = SizedData(HexOf(std::vector<float>(24, 1.0f)));
    const std::string kMark = "\xEF\xBB\xBF";
    const std::tuple<const char*, std::string, bool, bool, uint32_t> cases[] = {
        {"truelight upsampled", TruelightFile(17, kIdentityRamp), true, true, 32},
        {"cubrel upsampled", {cubrel17.begin(), cubrel17.end()}, true, true, 32},
        {"cubrel of 809 bytes", {cubrel.begin(), cubrel.end()}, false, true, 2},
        {"808 bytes are not cubrel", {cubrel.begin(), cubrel.end() - 1}, false, false, 0},
        {"17 bytes of VXTX: an empty table", {empty.begin(), empty.end()}, false, true, 0},
        {"look", LookWith(look, 100), false, true, 2},
        {"look tag after 1024 bytes", LookWith(look, 1024), false, false, 0},
        {"plain words", "hello there\n", false, false, 0},
        // Nothing to read: no curve set, no black table.
        {"no bytes", "", false, false, 0},
        {"blanks, breaks and comments", " \r\n\t\f\n# made by hand\n  #\n", false, false, 0},
        {"a mark alone", kMark, false, false, 0},
        {"text after a NUL byte", std::string("\0BypassLUT = 1\n", 16), false, false, 0},
        {"truelight after a mark", kMark + TruelightFile(3, kIdentityRamp), false, true, 3},
        // A look of too few data bytes: OpenColorIO's own look reader refuses it too.
        {"a look after a mark is no look", kMark + LookWith(SizedData("00")), false, false, 0},
    };
    for (const auto& [name, bytes, upsample, loaded, size] : cases) {
        luts.source.alwaysUpsample = upsample;
        const std::string path = scratch.Write("case.lut", bytes);
        CVxLUT lut;
        EXPECT_EQ(lut.Load(luts.source, CVxString(path.c_str()), false, kAny, true), loaded)
            << name;
        EXPECT_EQ(lut.m_size, size) << name;
        EXPECT_EQ(lut.m_preLUT, nullptr) << name;
    }
}

TEST(LutLoad, UnreadableAndOversizedFiles) {
    ScratchFolder scratch;
    const CVxString path(scratch.Write("big.cube", CubeFile(2)).c_str());
    CVxLUT lut;
    EXPECT_TRUE(lut.Load(SystemLuts::Plain(), path, false, kAny, true));
    // Sparse: a valid cube followed by zeros.
    std::filesystem::resize_file(scratch.Posix() + "/big.cube", 209715201);
    EXPECT_FALSE(lut.Load(SystemLuts::Plain(), path, false, kAny, true));
    EXPECT_FALSE(lut.Load(SystemLuts::Plain(), CVxString(scratch.Drive("missing.cube").c_str()),
                          false, kAny, true));
}

// One number text of a form that LUT files hold or that a scanner may get wrong: any float
// written short or long, a double on a float midpoint or next to it, a denormal, a composed
// decimal (signs, leading and trailing dots, long mantissas, exponents far beyond the float
// range), a decimal on a midpoint or at a bound of the reader's exact integer path, or a
// spelling that only the C library reads.
std::string NumberText(std::mt19937& random) {
    static const char* const kOdd[] = {
        "nan", "-INF", "+infinity", "0x1p3", "-0X1.8P-2", "++1", "+-1", "-+1", ".", "-.", "+.5",
        "1e", "1e+", ".e5", "1..2", "1,5", "1e5x", "0.5f", "+", "nan(7)",
        // Exactly on a float midpoint, or at the edges of the exact decimal path.
        "16777217", "8388608.5", "-33554434e0", "0.0000000596046447753906250", "-0", "+0.000",
        "1e22", "1e23", "1e-22", "4e-23", "9007199254740992e-22", "9007199254740993",
        "1234567890123456789", "12345678901234567890", "0000000000000000000001.5",
        // Fraction digits run into the characters on either side of the digits.
        "0.25:0000000", "0.5/00000000", "0.125?000000"};
    const uint32_t bits = random();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    char text[96];
    switch (random() % 5) {
    case 0:
        std::snprintf(text, sizeof text, random() % 2 ? "%.9g" : "%.30f", double(value));
        return text;
    case 1: {
        const double midpoint = (double(value) + double(std::nextafter(value, INFINITY))) / 2;
        std::snprintf(text, sizeof text, "%.17g",
                      random() % 2 ? midpoint : std::nextafter(midpoint, random() % 2 ? 0 : 1e300));
        return text;
    }
    case 2:
        std::snprintf(text, sizeof text, random() % 2 ? "%.9g" : "%.25e",
                      std::ldexp(double(bits % 0x800000u), -149 - int(random() % 2)));
        return text;
    case 3:
        return kOdd[random() % std::size(kOdd)];
    }
    std::string composed = random() % 3 == 0 ? "-" : random() % 3 == 0 ? "+" : "";
    for (uint32_t digits = random() % 3 ? random() % 12 : random() % 60; digits > 0; --digits)
        composed += char('0' + random() % 10);
    if (composed.empty() || random() % 2)
        composed += random() % 4 ? "." + std::to_string(random() % 4000000000u) : ".";
    if (random() % 2) {
        composed += random() % 2 ? "e" : "E+";
        const uint32_t range = random() % 4 ? 80 : 100000;
        composed += std::to_string(int(random() % range) - 40);
    }
    return composed;
}

// The readers take a triple exactly as sscanf(" %f %f %f ") does: the count and every bit.
TEST(LutText, FloatTripleMatchesScanf) {
    static const char* const kBlanks[] = {" ", "\t", "  \t", "\v", ""};
    std::mt19937 random(7);
    for (int i = 0; i < 100000; ++i) {
        std::string line = random() % 8 ? "" : kBlanks[random() % 4];
        for (uint32_t k = 0, count = random() % 8 ? 3 : random() % 5; k < count; ++k) {
            const uint32_t blanks = random() % 8 ? 2 : 5;
            line += k ? kBlanks[random() % blanks] : "";
            line += NumberText(random);
        }
        float expected[3] = {-7, -7, -7};
        const int expectedCount = std::max(
            0, std::sscanf(line.c_str(), " %f %f %f ", &expected[0], &expected[1], &expected[2]));
        float actual[3] = {-7, -7, -7};
        ASSERT_EQ(ScanFloatTriple(line.data(), line.size(), actual), expectedCount) << line;
        ASSERT_EQ(std::memcmp(actual, expected, expectedCount * sizeof(float)), 0) << line;
    }
}

// Rows of three values of one digit and six decimals, the form most cube writers print, and
// rows one character away from it: every digit, every spot of the point, every separator.
TEST(LutText, SixDecimalRowsMatchScanf) {
    static const char kChanges[] = "/:.,-+e 0\t";
    std::mt19937 random(11);
    for (int i = 0; i < 200000; ++i) {
        char row[64];
        std::snprintf(row, sizeof row, "%.6f %.6f %.6f", double(random() % 10000000) / 1e6,
                      double(random() % 10000000) / 1e6, double(random() % 10000000) / 1e6);
        if (i % 2)
            row[random() % 26] = kChanges[random() % (sizeof kChanges - 1)];
        const std::string line = row;
        float expected[3] = {-7, -7, -7};
        const int expectedCount =
            std::max(0, std::sscanf(row, " %f %f %f ", &expected[0], &expected[1], &expected[2]));
        float actual[3] = {-7, -7, -7};
        ASSERT_EQ(ScanFloatTriple(line.data(), line.size(), actual), expectedCount) << line;
        ASSERT_EQ(std::memcmp(actual, expected, expectedCount * sizeof(float)), 0) << line;
        // As a row of a larger text: taken whole up to its break, or left to the general reading.
        const std::string text = line + (i % 3 ? "\n" : "\r\n") + "0.5 0.5 0.5\n";
        float plain[3] = {-7, -7, -7};
        const char* rowEnd = ScanPlainFloatRow(text.data(), text.data() + text.size(), plain);
        if (!rowEnd)
            continue;
        ASSERT_EQ(rowEnd, text.data() + line.size()) << line;
        ASSERT_EQ(expectedCount, 3) << line;
        ASSERT_EQ(std::memcmp(plain, expected, sizeof plain), 0) << line;
    }
}

// Texts of more than a few megabytes are read on several cores into the values that reading
// line by line gives, whatever interrupts or follows the rows.
TEST(LutReaders, LargeTextsReadOnCores) {
    constexpr uint32_t n = 65;
    constexpr size_t kRows = size_t(n) * n * n;
    const std::string rows = CubeBody(n, kRows);
    std::vector<float> floats(kRows * 4, 1.0f);
    const char* number = rows.c_str();
    for (size_t i = 0; i < kRows * 4; ++i) {
        char* next = nullptr;
        floats[i] = i % 4 == 3 ? 1.0f : std::strtof(number, &next);
        number = i % 4 == 3 ? number : next;
    }
    // 3DL rows run blue fastest; node (r, g, b) holds 63 times its indices over 4095.
    std::string meshRows = "0";
    for (uint32_t k = 1; k < n; ++k)
        meshRows += " " + std::to_string(k * 16);
    meshRows += "\n";
    std::vector<float> integers(kRows * 4, 1.0f);
    for (size_t i = 0; i < kRows; ++i) {
        const size_t blue = i % n, green = i / n % n, red = i / n / n;
        meshRows += std::to_string(blue * 63) + " " + std::to_string(green * 63) + " " +
                    std::to_string(red * 63) + "\n";
        float* entry = &integers[((blue * n + green) * n + red) * 4];
        for (size_t c = 0; c < 3; ++c)
            entry[c] = float((c == 0 ? blue : c == 1 ? green : red) * 63) * (1.0f / 4095.0f);
    }
    // Text inserted where two bands meet, near the middle.
    auto inserted = [](const std::string& text, const std::string& what) {
        const size_t at = text.find('\n', text.size() / 2) + 1;
        return text.substr(0, at) + what + text.substr(at);
    };
    // .spi3d lines name their node: red fastest here, as the rows are.
    std::string spi3d = "SPILUT 1.0\n3 3\n65 65 65\n";
    for (size_t i = 0, at = 0; i < kRows; ++i) {
        const size_t next = rows.find('\n', at) + 1;
        spi3d += std::to_string(i % n) + " " + std::to_string(i / n % n) + " " +
                 std::to_string(i / n / n) + " " + rows.substr(at, next - at);
        at = next;
    }
    std::string crRows = rows;
    std::replace(crRows.begin(), crRows.end(), '\n', '\r');
    // The same rows in the other forms that a reader takes: blanks around
    // them, exponents, a fourth number, CRLF breaks, in turn.
    std::string mixedRows;
    for (size_t i = 0, at = 0; i < kRows; ++i) {
        const size_t next = rows.find('\n', at);
        std::string row = rows.substr(at, next - at);
        at = next + 1;
        if (i % 5 == 1)
            row = "\t " + row + " \t";
        if (i % 5 == 2)
            for (size_t space = row.find(' '); space != std::string::npos;
                 space = row.find(' ', space + 3))
                row.insert(space, "e0");
        if (i % 5 == 3)
            row += " 9";
        mixedRows += row + (i % 5 == 4 ? "\r\n" : "\n");
    }
    const std::string cube = "LUT_3D_SIZE 65\n";
    const std::string truelight = "# Truelight Cube v2.1\n# width 65 65 65\n# Cube\n";
    const std::tuple<const char*, LutReader*, std::string, EReaderResult, const float*> cases[] = {
        {"cube", ReadCubeLut, cube + rows, eLoaded, floats.data()},
        {"cube, CR breaks", ReadCubeLut, cube + crRows, eLoaded, floats.data()},
        {"cube, rows of every form", ReadCubeLut, cube + mixedRows, eLoaded, floats.data()},
        {"truelight, rows of every form", ReadTruelightLut, truelight + mixedRows, eLoaded,
         floats.data()},
        {"cube, comment", ReadCubeLut, cube + inserted(rows, "# note\n"), eLoaded, floats.data()},
        {"cube, lines after", ReadCubeLut, cube + rows + "x\n1 1\n", eLoaded, floats.data()},
        {"cube, short row", ReadCubeLut, cube + inserted(rows, "0 0\n"), eFailed, nullptr},
        {"cube, row missing", ReadCubeLut,
         cube + rows.substr(0, rows.rfind('\n', rows.size() - 2) + 1), eFailed, nullptr},
        {"truelight", ReadTruelightLut, truelight + rows + "# end\n", eLoaded, floats.data()},
        {"truelight, comment", ReadTruelightLut, truelight + inserted(rows, "# note\n"), eFailed,
         nullptr},
        {"spi3d", ReadSpi3dLut, spi3d, eLoaded, floats.data()},
        {"spi3d, comment", ReadSpi3dLut, inserted(spi3d, "# note\n"), eLoaded, floats.data()},
        {"spi3d, twice", ReadSpi3dLut, inserted(spi3d, "0 0 0 1 1 1\n"), eNotRecognised, nullptr},
        {"3dl", Read3dlLut, meshRows, eLoaded, integers.data()},
        {"3dl, comment", Read3dlLut, inserted(meshRows, "# note\n"), eLoaded, integers.data()},
        {"3dl, short row", Read3dlLut, inserted(meshRows, "1 2\n"), eFailed, nullptr},
    };
    for (const auto& [name, reader, text, result, values] : cases) {
        CVxLUT lut;
        ASSERT_EQ(Read(reader, lut, text), result) << name;
        if (values) {
            EXPECT_EQ(std::memcmp(lut.m_data, values, kRows * 4 * sizeof(float)), 0) << name;
        }
    }
}

} // namespace
