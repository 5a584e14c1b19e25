#include "lut/cubrel_writer.h"
#include "lut/lut.h"
#include "lut/lut_folder_index.h"
#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include "foundation/settings.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using enum EReaderResult;
constexpr EDimensionRequirement kAny = EDimensionRequirement::eAnyDimension;

template <typename Bytes>
EReaderResult Read(LutReader* reader, CVxLUT& lut, const Bytes& bytes, bool upsample = false) {
    return reader(lut, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), upsample,
                  kAny);
}

const float* Entry(const CVxLUT& lut, uint32_t r, uint32_t g, uint32_t b) {
    return lut.m_data + r * 4 + g * lut.m_greenStride + b * lut.m_blueStride;
}

// The first `lines` entries of an n-point identity lattice, red fastest.
std::string CubeBody(uint32_t n, uint32_t lines) {
    std::string text;
    for (uint32_t i = 0; i < lines; ++i) {
        const uint32_t r = i % n, g = (i / n) % n, b = i / (n * n);
        char line[96];
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", r / float(n - 1), g / float(n - 1),
                      b / float(n - 1));
        text += line;
    }
    return text;
}

std::string CubeFile(uint32_t n) {
    return "LUT_3D_SIZE " + std::to_string(n) + "\n" + CubeBody(n, n * n * n);
}

const std::string kIdentityRamp =
    "0 0 0\n0.333333 0.333333 0.333333\n0.666667 0.666667 0.666667\n1 1 1\n";

std::string TruelightFile(int width, const std::string& inputLut, const std::string& extra = "") {
    std::string text = "# Truelight Cube v2.1\n# iDims 3\n# oDims 3\n";
    if (width)
        text += "# width " + std::to_string(width) + " " + std::to_string(width) + " " +
                std::to_string(width) + "\n";
    text += "# lutLength 4\n#\n# InputLUT\n" + inputLut + extra;
    if (width)
        text += "# Cube\n" + CubeBody(width, width * width * width);
    return text + "# end\n";
}

// A Cubrel file of size 2^e + 1 whose word at (r, g, b) is code r*100 + g*10 + b in each field,
// at least `length` bytes long; the header is written over a lattice that starts inside it.
std::vector<uint8_t> CubrelFile(uint32_t e, bool bigEndian, uint32_t dataOffset = 1024,
                                size_t length = 0) {
    const uint32_t n = (1u << e) + 1;
    std::vector<uint8_t> file(std::max<size_t>(dataOffset + 4 * n * n * n, length), 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            file[at + k] = uint8_t(v >> (bigEndian ? 24 - 8 * k : 8 * k));
    };
    size_t at = dataOffset;
    for (uint32_t r = 0; r < n; ++r)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t b = 0; b < n; ++b, at += 4)
                put32(at, ((r * 100) << 20) | ((g * 10) << 10) | b);
    std::memcpy(file.data(), bigEndian ? "3LUT" : "TUL3", 4);
    put32(4, dataOffset);
    put32(660, 0xFFFFFFFFu);
    file[bigEndian ? 769 : 768] = uint8_t(e);
    return file;
}

float PayloadValue(size_t index) {
    return float(index) * 0.125f - 3.0f;
}

// A container with `entries` payload triples, then cut to `length` bytes (0: keep all).
std::vector<uint8_t> Container(const char* magic, uint32_t size, uint32_t dimensions,
                               uint32_t keyBlock, size_t entries, size_t length = 0) {
    std::vector<uint8_t> bytes(magic, magic + 4);
    // Words and floats in the order of this (little-endian) machine.
    auto put = [&bytes](auto value) {
        const uint8_t* at = reinterpret_cast<const uint8_t*>(&value);
        bytes.insert(bytes.end(), at, at + 4);
    };
    for (uint32_t word : {size, dimensions, keyBlock})
        put(word);
    if (std::strcmp(magic, "VTX2") == 0) {
        for (float v : {0.0f, -0.5f, 0.25f, 2.0f, 2.5f, 1.0f})
            put(v);
    }
    bytes.resize(bytes.size() + keyBlock, 0);
    for (size_t k = 0; k < entries * 3; ++k)
        put(PayloadValue(k));
    if (length != 0)
        bytes.resize(length, 0x7F);
    return bytes;
}

std::string HexOf(const std::vector<float>& values) {
    std::string hex;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(values.data());
    for (size_t i = 0; i < values.size() * 4; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        hex += pair;
    }
    return hex;
}

// A look whose LUT element holds the children, after a comment of `commentLength` dashes.
std::string LookWith(const std::string& lutChildren, size_t commentLength = 0) {
    const std::string comment =
        commentLength ? "<!--" + std::string(commentLength, '-') + "-->\n" : "";
    return "<?xml version=\"1.0\" ?>\n" + comment + "<look>\n  <shaders>\n  </shaders>\n  <LUT>\n" +
           lutChildren + "  </LUT>\n</look>\n";
}

// Size 2, the other children, then the data.
std::string SizedData(const std::string& hex, const std::string& others = "") {
    return "<size>\"2\"</size>" + others + "<data>\"" + hex + "\"</data>";
}

TEST(LutText, FloatTripleMatchesScanf) {
    // One case a line; 1.0000000596046448 is a double that lands on a float midpoint.
    std::istringstream special(
        "0.5 0.25 1\n1.0000000596046448 0 0\n-0 +1.5e3 .5\n1e-30 3.5e38 1e39\nnan inf -infinity\n"
        "0x1p3 1 2\n0.1 0.2 0.3abc\n0.1x 0.2 0.3\n0.5,0.5,0.5\n1e 2 3\n\v1 2 3\n"
        "12345678901234567890123 1 2\n0.30000001192092896 0.1 0.7\n1 2\n\n");
    std::vector<std::string> lines;
    for (std::string line; std::getline(special, line);)
        lines.push_back(line);
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "%.*g %.9e %.*f", 1 + int(random() % 17),
                      std::ldexp(double(random()), -int(random() % 40)), double(random()) * 1e-7,
                      int(random() % 12), double(random() % 100000) / 997.0);
        lines.push_back(line);
    }
    for (const std::string& line : lines) {
        float expected[3] = {-7, -7, -7};
        const int expectedCount = std::max(
            0, std::sscanf(line.c_str(), " %f %f %f ", &expected[0], &expected[1], &expected[2]));
        float actual[3] = {-7, -7, -7};
        ASSERT_EQ(ScanFloatTriple(line.data(), line.size(), actual), expectedCount) << line;
        ASSERT_EQ(std::memcmp(actual, expected, expectedCount * sizeof(float)), 0) << line;
    }
}

TEST(LutText, LinesBreakOnRunsAndTrim) {
    const std::string text = "\r\n  a b \r\r\n\n\tc\r   \nd";
    TextLines lines(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::vector<std::string> seen;
    while (lines.Next())
        seen.emplace_back(lines.Begin(), lines.Length());
    EXPECT_EQ(seen, (std::vector<std::string>{"a b", "c", "", "d"}));
}

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
    struct Case {
        std::string header;
        uint32_t n, largest;
        bool upsample;
        uint32_t size;
        float scale;
    } cases[] = {
        {ShaperLine(17, 64, 1023), 17, 4095, false, 17, 1.0f / 4095},
        {"3DMESH\nMesh 4 12\n" + ShaperLine(17, 64, 1023), 17, 4095, false, 17, 1.0f / 4095},
        {"Mesh 4 10\n", 17, 4095, false, 17, 1.0f / 1023},
        {"Mesh 2 16\n", 5, 1000, false, 5, 1.0f / 65535},
        {"# LUT_SIZE : 5 5 5\n", 5, 4095, false, 5, 1.0f / 1023},
        {"#entries = 16\n", 17, 1023, false, 17, 1.0f / 1023},
        {ramp, 5, 1023, false, 5, 1.0f / 1023},
        {ramp, 5, 1024, false, 5, 1.0f / 2047},
        {ramp, 5, 0, false, 5, 1.0f / 1023},
        {"# 0 256 512 768 1023\n", 5, 65535, false, 5, 1.0f / 65535},
        {ramp, 5, 4095, true, 8, 0},
    };
    for (const Case& c : cases) {
        CVxLUT lut;
        ASSERT_EQ(Read(Read3dlLut, lut, MeshFile(c.header, c.n, c.largest), c.upsample), eLoaded)
            << c.header;
        ASSERT_EQ(lut.m_size, c.size) << c.header;
        EXPECT_TRUE(lut.m_is3D);
        EXPECT_EQ(lut.m_preLUT, nullptr);
        EXPECT_EQ(lut.m_domainMin[0], 0.0f);
        EXPECT_EQ(lut.m_domainMax[2], 1.0f);
        if (c.scale == 0)
            continue;
        const uint32_t n = c.n;
        // The second line of the file is grid point (0, 0, 1).
        EXPECT_EQ(Entry(lut, 0, 0, 1)[2], float(Code(0, 0, 1, 2, n, c.largest)) * c.scale);
        EXPECT_EQ(Entry(lut, n - 1, 1, 0)[0], float(c.largest) * c.scale) << c.header;
        EXPECT_EQ(Entry(lut, n - 1, 1, 0)[1], float(Code(0, 1, 0, 1, n, c.largest)) * c.scale);
        EXPECT_EQ(Entry(lut, 0, 1, n - 1)[3], 1.0f);
    }
}

TEST(Mesh3dlReader, ShaperLinesAndPreLuts) {
    struct Case {
        std::string line;
        bool upsample;
        uint32_t lattice, preEntries, cells;
    } cases[] = {
        // Values below their even positions (i * 2047 / 16) make the line uneven.
        {"0 100 200 300 400 500 600 700 800 900 1000 1100 1200 1300 1400 1500 1600", false, 17,
         2048, 17},
        {"0 300 600 900 1023", false, 5, 0, 0},
        {"0 0 0 1", false, 4, 0, 0},
        {"0 16 64 256 1023", false, 5, 1024, 5},
        {"0 16 64 256 1023", true, 5, 1024, 8},
        {"10 10 10 300 4096", false, 5, 4096, 5},
    };
    for (const Case& c : cases) {
        CVxLUT lut;
        ASSERT_TRUE(Read3dlShaperLine(lut, c.line.data(), c.line.size(), c.upsample, false));
        ASSERT_EQ(lut.m_size, c.lattice);
        ASSERT_EQ(lut.m_preLUT != nullptr, c.preEntries != 0) << c.line;
        if (c.preEntries == 0)
            continue;
        const CVxLUT& pre = *lut.m_preLUT;
        ASSERT_EQ(pre.m_size, c.preEntries);
        EXPECT_FALSE(pre.m_is3D);
        const float u = 1.0f / float(c.cells);
        uint32_t values[5];
        sscanf(c.line.c_str(), "%u %u %u %u %u", &values[0], &values[1], &values[2], &values[3],
               &values[4]);
        // Each distinct code value lands on the centre of its own cell.
        for (uint32_t k = 0; k < 5; ++k) {
            if (values[k] < pre.m_size && (k == 4 || values[k + 1] != values[k])) {
                EXPECT_NEAR(pre.m_data[values[k] * 4], (k + 0.5f) * u, 2e-5) << c.line << " " << k;
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
    struct Case {
        std::string text;
        EReaderResult result;
    } cases[] = {
        {MeshFile("0 512 1023\n", 3, 1023), eNotRecognised},
        {MeshFile("# 0 512 1023\n", 3, 1023), eFailed},
        {MeshFile("#" + ShaperLine(257, 4, 1024), 4, 1023), eFailed},
        {MeshFile("0 300 200 600 1023\n", 5, 1023), eNotRecognised},
        {MeshFile("0 1000 2000 3000 4097\n", 5, 1023), eNotRecognised},
        {MeshFile("#0 1000 2000 3000 4097\n", 5, 1023), eFailed},
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
    for (const Case& c : cases) {
        CVxLUT lut;
        EXPECT_EQ(Read(Read3dlLut, lut, c.text), c.result) << c.text.substr(0, 40);
        if (c.result == eLoaded)
            continue;
        EXPECT_EQ(lut.m_size, 0u) << c.text.substr(0, 40);
        EXPECT_EQ(lut.m_data, nullptr);
        EXPECT_EQ(lut.m_preLUT, nullptr);
    }
}

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
    const struct {
        float value;
        uint32_t code;
    } cases[] = {{0.0f, 0},       {-0.25f, 0},     {nan, 0},         {-inf, 0},
                 {1.0f, 1023},    {1.5f, 1023},    {inf, 1023},      {0.5f, 512},
                 {0.9996f, 1023}, {0.9995f, 1022}, {1.0f / 1023, 1}, {0.25f, 256}};
    for (const auto& c : cases)
        EXPECT_EQ(CubrelCode(c.value), c.code) << c.value;
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
    for (size_t k = 0; k < sizeof(cases) / sizeof(cases[0]); ++k) {
        const Case& c = cases[k];
        CVxLUT lut;
        // Read over a VTX2 lattice: a 2-point file keeps its storage but not its domain.
        if (c.size != kRefused)
            Read(ReadVxtxLut, lut, Container("VTX2", 2, 3, 0, 8));
        EXPECT_EQ(Read(ReadVxtxLut, lut, c.file, true), c.size == kRefused ? eFailed : eLoaded)
            << k;
        EXPECT_EQ(lut.m_preLUT, nullptr);
        if (c.size == kRefused) {
            EXPECT_EQ(lut.m_data, nullptr) << k;
            continue;
        }
        ASSERT_EQ(lut.m_size, uint32_t(c.size)) << k;
        EXPECT_EQ(lut.m_is3D, c.is3D) << k;
        std::vector<float> domain(lut.m_domainMin, lut.m_domainMin + 4);
        domain.insert(domain.end(), lut.m_domainMax, lut.m_domainMax + 4);
        EXPECT_EQ(domain, c.file[1] == 'T' ? ranged : unit) << k;
        std::vector<float> expected(lut.FloatCount());
        for (size_t i = 0; i < expected.size(); ++i)
            expected[i] = i % 4 == 3 ? 1.0f : PayloadValue(i / 4 * 3 + i % 4);
        EXPECT_EQ(std::vector<float>(lut.m_data, lut.m_data + expected.size()), expected) << k;
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
    const struct {
        const char* name;
        std::string children;
        EReaderResult result;
    } cases[] = {
        {"too much data", SizedData(hex + "00"), eFailed},
        {"odd digits", SizedData(hex.substr(0, 23)), eLoaded},
        {"lower-case digit dropped", SizedData(lower), eLoaded},
        {"empty data", SizedData("xyz"), eFailed},
        {"data before size", "<data>\"" + hex + "\"</data><size>\"2\"</size>", eFailed},
        {"bad size", "<size>\"2x\"</size>", eFailed},
        {"no data", "<size>\"2\"</size>", eFailed},
    };
    for (const auto& c : cases) {
        CVxLUT one;
        EXPECT_EQ(Read(ReadLookLut, one, LookWith(c.children)), c.result) << c.name;
    }
    CVxLUT shifted;
    ASSERT_EQ(Read(ReadLookLut, shifted, LookWith(SizedData(lower))), eLoaded);
    EXPECT_NE(Entry(shifted, 0, 0, 0)[1], values[1]) << "later bytes shift";
    CVxLUT empty;
    EXPECT_EQ(
        Read(ReadLookLut, empty, std::string("<?xml?><look></look><LUT><size>\"2\"</size></LUT>")),
        eFailed);
}

// The program never asks for upsampling itself; the setting does.
TEST(LutLoad, RecognitionOrderAndUpsamplingSetting) {
    ScratchFolder scratch;
    SettingsStore& store = GlobalSettings().UserStore();
    const std::string upsampling = "<values><ColorTransforms><AlwaysUpsampleToPoT>\"1\""
                                   "</AlwaysUpsampleToPoT></ColorTransforms></values>";
    const std::vector<uint8_t> cubrel = CubrelFile(0, true, 0, 809), cubrel17 = CubrelFile(4, true);
    const std::vector<uint8_t> empty = Container("VXTX", 0, 1, 0, 0, 17);
    const std::string look = SizedData(HexOf(std::vector<float>(24, 1.0f)));
    const struct {
        const char* name;
        std::string bytes;
        bool upsampling, loaded;
        uint32_t size;
    } cases[] = {
        {"cube never upsampled", CubeFile(17), true, true, 17},
        {"truelight upsampled", TruelightFile(17, kIdentityRamp), true, true, 32},
        {"cubrel upsampled", {cubrel17.begin(), cubrel17.end()}, true, true, 32},
        {"cubrel of 809 bytes", {cubrel.begin(), cubrel.end()}, false, true, 2},
        {"808 bytes are not cubrel", {cubrel.begin(), cubrel.end() - 1}, false, false, 0},
        {"17 bytes of VXTX: an empty table", {empty.begin(), empty.end()}, false, true, 0},
        {"look", LookWith(look, 100), false, true, 2},
        {"look tag after 1024 bytes", LookWith(look, 1024), false, false, 0},
        {"cube", CubeFile(3), false, true, 3},
        {"plain words", "hello there\n", false, false, 0},
        {"truelight", TruelightFile(3, kIdentityRamp), false, true, 3},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(store.LoadText(c.upsampling ? upsampling.c_str() : "<values></values>"));
        const std::string path = scratch.Write("case.lut", c.bytes);
        CVxLUT lut;
        EXPECT_EQ(lut.Load(CVxString(path.c_str()), false, kAny, true), c.loaded) << c.name;
        EXPECT_EQ(lut.m_size, c.size) << c.name;
        EXPECT_EQ(lut.m_preLUT, nullptr) << c.name;
    }
    EXPECT_STREQ(store.GetString("ColorTransforms.AlwaysUpsampleToPoT", "absent").c_str(), "0");
}

TEST(LutLoad, UnreadableAndOversizedFiles) {
    ScratchFolder scratch;
    const CVxString path(scratch.Write("big.cube", CubeFile(2)).c_str());
    CVxLUT lut;
    EXPECT_TRUE(lut.Load(path, false, kAny, true));
    // Sparse: a valid cube followed by zeros.
    std::filesystem::resize_file(scratch.Posix() + "/big.cube", 209715201);
    EXPECT_FALSE(lut.Load(path, false, kAny, true));
    EXPECT_FALSE(lut.Load(CVxString(scratch.Drive("missing.cube").c_str()), false, kAny, true));
}

TEST(LutFolderIndex, EarlierFoldersWinAndNamesIgnoreCase) {
    ScratchFolder scratch;
    const std::string first = scratch.Write("one/Film.cube", CubeFile(2));
    scratch.Write("two/film.CUBE", CubeFile(3));
    const std::string other = scratch.Write("two/other.cube", CubeFile(2));
    scratch.Folder("one/sub.cube");
    const CVxString folders[] = {CVxString(scratch.Folder("one").c_str()), CVxString("relative"),
                                 CVxString((scratch.Folder("two") + "\\").c_str())};
    LutFolderMap index;
    index.Build(folders, 3);
    CVxString path;
    ASSERT_TRUE(index.Find("FILM.cube", path));
    EXPECT_STREQ(path.c_str(), first.c_str());
    ASSERT_TRUE(index.Find("other.cube", path));
    EXPECT_STREQ(path.c_str(), other.c_str());
    EXPECT_FALSE(index.Find("sub.cube", path));
    ASSERT_EQ(index.Names().size(), 2u);
    EXPECT_STREQ(index.Names()[0].c_str(), "Film.cube");
}

} // namespace
