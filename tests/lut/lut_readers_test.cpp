#include "lut/lut.h"
#include "lut/lut_formats.h"
#include "lut/lut_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr EDimensionRequirement kAny = EDimensionRequirement::eAnyDimension;

EReaderResult Read(LutReader* reader, CVxLUT& lut, const std::string& text, bool upsample = false) {
    return reader(lut, reinterpret_cast<const uint8_t*>(text.data()), text.size(), upsample, kAny);
}

const float* Entry(const CVxLUT& lut, uint32_t r, uint32_t g, uint32_t b) {
    return lut.m_data + r * 4 + g * lut.m_greenStride + b * lut.m_blueStride;
}

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

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(LutText, FloatTripleMatchesScanf) {
    std::vector<std::string> lines = {
        "0.5 0.25 1",
        "1.0000000596046448 0 0", // a double that lands on a float midpoint
        "-0 +1.5e3 .5",
        "1e-30 3.5e38 1e39",
        "nan inf -infinity",
        "0x1p3 1 2",
        "0.1 0.2 0.3abc",
        "0.1x 0.2 0.3",
        "0.5,0.5,0.5",
        "1e 2 3",
        "\v1 2 3",
        "12345678901234567890123 1 2",
        "0.30000001192092896 0.1 0.7",
        "1 2",
        "",
    };
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
        for (int k = 0; k < expectedCount; ++k)
            ASSERT_EQ(Bits(actual[k]), Bits(expected[k])) << line << " #" << k;
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
    struct Case {
        const char* name;
        std::string text;
        EReaderResult result;
        uint32_t size;
        bool is3D;
    };
    const std::string header3 = "# comment\nTITLE \"x\"\nLUT_3D_SIZE 3\n";
    const Case cases[] = {
        {"3d", header3 + CubeBody(3, 27), EReaderResult::eLoaded, 3, true},
        {"1d", "LUT_1D_SIZE 4\n" + CubeBody(4, 4), EReaderResult::eLoaded, 4, false},
        {"half", header3 + CubeBody(3, 13), EReaderResult::eFailed, 0, false},
        {"bad data line", header3 + CubeBody(3, 5) + "0.1x 0 0\n" + CubeBody(3, 27),
         EReaderResult::eFailed, 0, false},
        {"no size", CubeBody(3, 27), EReaderResult::eNotRecognised, 0, false},
        {"domain word", "DOMAIN_MID 0 0 0\n" + header3 + CubeBody(3, 27), EReaderResult::eFailed, 0,
         false},
        {"size 0 is an empty table", "LUT_3D_SIZE 0\n0 0 0\n", EReaderResult::eLoaded, 0, true},
        {"size 1", "LUT_3D_SIZE 1\n0.5 0.5 0.5\n", EReaderResult::eLoaded, 1, true},
        {"size 257", "LUT_3D_SIZE 257\n", EReaderResult::eFailed, 0, false},
        {"trailing letters after three numbers", "LUT_3D_SIZE 2\n" + CubeBody(2, 7) + "1 1 1z\n",
         EReaderResult::eLoaded, 2, true},
    };
    for (const Case& c : cases) {
        CVxLUT lut;
        EXPECT_EQ(Read(ReadCubeLut, lut, c.text), c.result) << c.name;
        EXPECT_EQ(lut.m_size, c.size) << c.name;
        EXPECT_EQ(lut.m_is3D, c.is3D) << c.name;
    }
}

TEST(CubeReader, ValuesAndDomain) {
    CVxLUT lut;
    const std::string text = "DOMAIN_MIN 0 0 0\nDOMAIN_max 2 2 2\nLUT_3D_SIZE 2\n" + CubeBody(2, 8);
    ASSERT_EQ(Read(ReadCubeLut, lut, text), EReaderResult::eLoaded);
    EXPECT_EQ(lut.m_domainMax[1], 2.0f);
    EXPECT_EQ(lut.m_domainMax[3], 1.0f);
    EXPECT_EQ(Entry(lut, 1, 0, 0)[0], 1.0f);
    EXPECT_EQ(Entry(lut, 0, 1, 1)[3], 1.0f);
    float rgb[3] = {1.0f, 1.0f, 0.0f};
    lut.Apply(rgb);
    EXPECT_EQ(rgb[0], 0.5f) << "1.0 is the middle of the domain [0, 2]";
}

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

TEST(TruelightReader, InputTableAndCube) {
    const std::string ramp =
        "0 0 0\n0.333333 0.333333 0.333333\n0.666667 0.666667 0.666667\n1 1 1\n";
    const std::string curve = "0 0 0\n0.1 0.2 0.3\n0.5 0.5 0.5\n1 1 1\n";
    CVxLUT identity;
    ASSERT_EQ(Read(ReadTruelightLut, identity, TruelightFile(3, ramp)), EReaderResult::eLoaded);
    EXPECT_EQ(identity.m_preLUT, nullptr);
    EXPECT_EQ(identity.m_domainMin[0], 0.0f);
    EXPECT_EQ(Entry(identity, 2, 1, 0)[0], 1.0f);

    CVxLUT shaped;
    ASSERT_EQ(Read(ReadTruelightLut, shaped, TruelightFile(17, curve)), EReaderResult::eLoaded);
    ASSERT_NE(shaped.m_preLUT, nullptr);
    EXPECT_EQ(shaped.m_preLUT->m_size, 4u);
    EXPECT_EQ(shaped.m_preLUT->m_data[5], 0.2f * (1.0f - 1.0f / 32) + 0.5f / 32);
    EXPECT_EQ(shaped.m_domainMin[2], 0.5f / 17);
    EXPECT_EQ(shaped.m_domainMax[0], 1.0f - 0.5f / 17);

    CVxLUT oneD;
    ASSERT_EQ(Read(ReadTruelightLut, oneD, TruelightFile(0, curve)), EReaderResult::eLoaded);
    EXPECT_FALSE(oneD.m_is3D);
    EXPECT_EQ(oneD.m_data[4 + 2], 0.3f);
}

TEST(TruelightReader, RefusedAndHandedOn) {
    const std::string ramp = "0 0 0\n0.5 0.5 0.5\n0.7 0.7 0.7\n1 1 1\n";
    struct Case {
        const char* name;
        std::string text;
        EReaderResult result;
    };
    const Case cases[] = {
        {"iDims 2", "# iDims 2\n", EReaderResult::eFailed},
        {"lutLength", "# lutLength 4097\n", EReaderResult::eFailed},
        {"widths differ", "# width 3 3 4\n", EReaderResult::eFailed},
        {"width 257", "# width 257 257 257\n", EReaderResult::eFailed},
        {"stray line", TruelightFile(2, ramp, "0.5 0.5 0.5\n"), EReaderResult::eFailed},
        {"short input table", TruelightFile(2, "0 0 0\n0.5 0.5\n"), EReaderResult::eFailed},
        {"header blanks match any run", "#  Truelight  Cube v2\n0 0 0\n", EReaderResult::eFailed},
        {"short cube undoes the input table",
         "# Truelight Cube v2\n# lutLength 2\n# InputLUT\n0 0 0\n1 1 1\n# width 2 2 2\n# Cube\n",
         EReaderResult::eFailed},
        {"no header", "# a comment\n0 0 0\n", EReaderResult::eNotRecognised},
        {"no header, short", "# width 2 2 2\n# Cube\n0 0 0\n", EReaderResult::eNotRecognised},
    };
    for (const Case& c : cases) {
        CVxLUT lut;
        EXPECT_EQ(Read(ReadTruelightLut, lut, c.text), c.result) << c.name;
        EXPECT_EQ(lut.m_size, 0u) << c.name;
        EXPECT_EQ(lut.m_preLUT, nullptr) << c.name;
    }
}

// A Cubrel file of size 2^e + 1 whose word at (r, g, b) is code r*100 + g*10 + b in each field.
std::vector<uint8_t> CubrelFile(uint32_t e, bool bigEndian, uint32_t dataOffset = 1024) {
    const uint32_t n = (1u << e) + 1;
    std::vector<uint8_t> file(dataOffset + 4 * n * n * n, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            file[at + k] = uint8_t(v >> (bigEndian ? 24 - 8 * k : 8 * k));
    };
    std::memcpy(file.data(), bigEndian ? "3LUT" : "TUL3", 4);
    put32(4, dataOffset);
    put32(660, 0xFFFFFFFFu);
    file[bigEndian ? 769 : 768] = uint8_t(e);
    size_t at = dataOffset;
    for (uint32_t r = 0; r < n; ++r)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t b = 0; b < n; ++b, at += 4)
                put32(at, ((r * 100) << 20) | ((g * 10) << 10) | b);
    return file;
}

TEST(CubrelReader, BothByteOrders) {
    for (bool bigEndian : {true, false}) {
        const std::vector<uint8_t> file = CubrelFile(3, bigEndian);
        CVxLUT lut;
        ASSERT_EQ(ReadCubrelLut(lut, file.data(), file.size(), false, kAny),
                  EReaderResult::eLoaded);
        ASSERT_EQ(lut.m_size, 9u);
        const float* e = Entry(lut, 2, 3, 4);
        EXPECT_EQ(std::vector<float>(e, e + 4),
                  (std::vector<float>{200.0f / 1023, 30.0f / 1023, 4.0f / 1023, 1.0f}));
    }
}

TEST(CubrelReader, RefusedHeaders) {
    std::vector<std::vector<uint8_t>> files;
    files.push_back(CubrelFile(2, true));
    files.back()[661] = 0; // marker
    files.push_back(CubrelFile(2, true));
    files.back()[7] = 0xFF; // data offset beyond the file
    files.push_back(CubrelFile(2, true));
    files.back().pop_back(); // one byte short
    files.push_back(CubrelFile(2, false));
    files.back()[769] = 0xFF; // exponent far beyond the limits
    files.push_back(CubrelFile(2, true));
    files.back()[769] = 8; // 257 points
    for (size_t i = 0; i < files.size(); ++i) {
        CVxLUT lut;
        EXPECT_EQ(ReadCubrelLut(lut, files[i].data(), files[i].size(), false, kAny),
                  EReaderResult::eFailed)
            << i;
        EXPECT_EQ(lut.m_size, 0u) << i;
    }
}

std::string HexOf(const std::vector<float>& values) {
    std::string hex;
    for (float v : values) {
        uint8_t bytes[4];
        std::memcpy(bytes, &v, 4);
        for (uint8_t b : bytes) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02X", b);
            hex += pair;
        }
    }
    return hex;
}

std::string LookWith(const std::string& lutChildren) {
    return "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n  </shaders>\n  <LUT>\n" + lutChildren +
           "  </LUT>\n</look>\n";
}

TEST(LookLutReader, DataSizeAndDomain) {
    std::vector<float> values(24);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = float(i) / 8;
    const std::string hex = HexOf(values);
    std::string spaced = hex.substr(0, 10) + " \n" + hex.substr(10);
    CVxLUT lut;
    ASSERT_EQ(Read(ReadLookLut, lut,
                   LookWith("<size>\"2\"</size><domainmax>\"2,3\"</domainmax><note>\"x\"</note>"
                            "<data>\"" +
                            spaced + "\"</data>")),
              EReaderResult::eLoaded);
    EXPECT_EQ(lut.m_size, 2u);
    EXPECT_EQ(Entry(lut, 1, 1, 1)[2], 23.0f / 8);
    EXPECT_EQ(Entry(lut, 1, 1, 1)[3], 1.0f);
    EXPECT_EQ(lut.m_domainMax[2], 2.0f);
    EXPECT_EQ(lut.m_domainMax[3], 3.0f);

    struct Case {
        const char* name;
        std::string children;
        EReaderResult result;
    };
    std::string lower = hex;
    lower[1] = 'a';
    const Case cases[] = {
        {"too much data", "<size>\"2\"</size><data>\"" + hex + "00\"</data>",
         EReaderResult::eFailed},
        {"odd digits", "<size>\"2\"</size><data>\"" + hex.substr(0, 23) + "\"</data>",
         EReaderResult::eLoaded},
        {"lower-case digit dropped", "<size>\"2\"</size><data>\"" + lower + "\"</data>",
         EReaderResult::eLoaded},
        {"empty data", "<size>\"2\"</size><data>\"xyz\"</data>", EReaderResult::eFailed},
        {"data before size", "<data>\"" + hex + "\"</data><size>\"2\"</size>",
         EReaderResult::eFailed},
        {"bad size", "<size>\"2x\"</size>", EReaderResult::eFailed},
        {"no data", "<size>\"2\"</size>", EReaderResult::eFailed},
    };
    for (const Case& c : cases) {
        CVxLUT one;
        EXPECT_EQ(Read(ReadLookLut, one, LookWith(c.children)), c.result) << c.name;
    }
    CVxLUT shifted;
    ASSERT_EQ(Read(ReadLookLut, shifted, LookWith(cases[2].children)), EReaderResult::eLoaded);
    EXPECT_NE(Bits(Entry(shifted, 0, 0, 0)[1]), Bits(values[1])) << "later bytes shift";
    CVxLUT empty;
    EXPECT_EQ(Read(ReadLookLut, empty, "<?xml?><look></look><LUT><size>\"2\"</size></LUT>"),
              EReaderResult::eFailed);
}

} // namespace
