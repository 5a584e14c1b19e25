#include "cli_harness.h"

#include <array>
#include <cstdio>

namespace {

// Colour of lattice point (r, g, b) of the 9-point test lattice; exact in six decimals.
void Grade(uint32_t r, uint32_t g, uint32_t b, float rgb[3]) {
    rgb[0] = r / 8.0f;
    rgb[1] = g / 16.0f;
    rgb[2] = 1.0f - b / 8.0f;
}

// The graded lattice as float triples, red fastest.
std::vector<float> GradedFloats() {
    std::vector<float> floats(729 * 3);
    for (uint32_t i = 0; i < 729; ++i)
        Grade(i % 9, i / 9 % 9, i / 81, &floats[3 * i]);
    return floats;
}

std::string CubeText() {
    std::string text = "# generated\nLUT_3D_SIZE 9\n";
    const std::vector<float> floats = GradedFloats();
    char line[96];
    for (size_t i = 0; i < floats.size(); i += 3) {
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", floats[i], floats[i + 1],
                      floats[i + 2]);
        text += line;
    }
    return text;
}

// 12-bit output codes of the 3DL test file at lattice point (r, g, b).
std::array<uint32_t, 3> MeshCodes(uint32_t r, uint32_t g, uint32_t b) {
    return {r * 511, g * 256, 4095 - b * 511};
}

// A 9-point 3DL file with an even shaper line, blue fastest, largest value 4095.
std::string MeshText() {
    std::string text = "0 128 256 384 512 640 768 896 1023\n";
    for (uint32_t i = 0; i < 729; ++i) {
        const std::array<uint32_t, 3> codes = MeshCodes(i / 81, i / 9 % 9, i % 9);
        text += std::to_string(codes[0]) + " " + std::to_string(codes[1]) + " " +
                std::to_string(codes[2]) + "\n";
    }
    return text;
}

// A 9-point VTX2 container of the graded lattice, domain [0, 1], in the
// byte order of this (little-endian) machine.
std::string ContainerBytes() {
    const uint32_t header[3] = {9, 3, 0};
    const float domain[6] = {0, 0, 0, 1, 1, 1};
    const std::vector<float> lattice = GradedFloats();
    return "VTX2" + std::string(reinterpret_cast<const char*>(header), sizeof header) +
           std::string(reinterpret_cast<const char*>(domain), sizeof domain) +
           std::string(reinterpret_cast<const char*>(lattice.data()), lattice.size() * 4);
}

using LutFlowTest = CliTest;

TEST_F(LutFlowTest, DirectConversionReplacesTheLutFile) {
    WriteFile("Small.LUT", CubeText());
    WriteFile("short.lut", "3LU");
    WriteFile("mesh.lut", MeshText());
    WriteFile("container.lut", ContainerBytes());
    const RunResult result = Run({"*.lut", "-cubrel", "-size", "9"});
    EXPECT_EQ(result.out, kBanner + "\ncontainer.lut:\n" + kWritten + "\nmesh.lut:\n" + kWritten +
                              "\nshort.lut:\n  Error reading file\n" + "\nSmall.LUT:\n" + kWritten);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(ReadFile("Small.LUT") == ExpectedCubrel(9, Grade));
    EXPECT_TRUE(ReadFile("container.lut") == ExpectedCubrel(9, Grade));
    EXPECT_EQ(ReadFile("short.lut"), "3LU");
    EXPECT_EQ(List(),
              (std::vector<std::string>{"Small.LUT", "container.lut", "mesh.lut", "short.lut"}));
    EXPECT_TRUE(ReadFile("mesh.lut") ==
                ExpectedCubrel(9, [](uint32_t r, uint32_t g, uint32_t b, float rgb[3]) {
                    const std::array<uint32_t, 3> codes = MeshCodes(r, g, b);
                    for (int c = 0; c < 3; ++c)
                        rgb[c] = static_cast<float>(codes[c]) * (1.0f / 4095.0f);
                }));
}

TEST_F(LutFlowTest, ResamplingWarnsOnceAndCanBeDisabled) {
    // 9-point files against the default Cubrel size of 17.
    const std::string cube9 = CubeText();
    WriteFile("a.lut", cube9);
    WriteFile("b.lut", cube9);
    const RunResult refused = Run({"*.lut", "-cubrel", "-noresampling"});
    const std::string notConverted = "  Source LUT has a different size and resampling is "
                                     "disabled.\n  The LUT was not converted.\n";
    EXPECT_EQ(refused.out, kBanner + "\na.lut:\n" + notConverted + "\nb.lut:\n" + notConverted);
    EXPECT_TRUE(ReadFile("a.lut") == cube9);

    const RunResult resampled = Run({"*.lut", "-cubrel"});
    EXPECT_EQ(resampled.out, kBanner + "\na.lut:\n  Resampling LUT...\n" + kResampleWarning +
                                 kWritten + "\nb.lut:\n  Resampling LUT...\n" + kWritten);
    EXPECT_EQ(resampled.exitCode, 0);
    EXPECT_EQ(ReadFile("a.lut").size(), 1024u + 4 * 4913);
    EXPECT_EQ(ReadFile("a.lut").substr(0, 4), "3LUT");
}

TEST_F(LutFlowTest, RebuildModeMessagesKeepFilesUnchanged) {
    const std::string sized64 = "<look>\n  <LUT>\n    <size>\"64\"</size>\n  </LUT>\n</look>\n";
    const std::string sized16 = UnknownShaderLook("  <LUT>\n    <size>\"16\"</size>\n  </LUT>\n");
    WriteFile("a64.look", sized64);
    WriteFile("b16.look", sized16);
    const RunResult result = Run({"*.look"});
    EXPECT_EQ(result.out,
              kBanner + "\na64.look:\n  LUT size is already 64, file was not modified\n" +
                  "\nb16.look:\n  Error rendering new look LUT, file was not modified\n");
    EXPECT_EQ(result.exitCode, 0);
    const RunResult at16 = Run({"b16.look", "-size", "16"});
    EXPECT_EQ(at16.out, kBanner + "\nb16.look:\n  LUT size is already 16, file was not modified\n");
    EXPECT_EQ(ReadFile("a64.look"), sized64);
    EXPECT_EQ(ReadFile("b16.look"), sized16);
}

TEST_F(LutFlowTest, UnrenderedLookFallsBackToItsStoredLut) {
    // Stored red fastest, written blue fastest.
    const std::string look =
        "<?xml version=\"1.0\" ?>\n" + UnknownShaderLook(LutElement("LUT", 9, GradedFloats()));
    WriteFile("s.look", look);
    WriteFile("s.lut", "old");
    const RunResult result = Run({"s.look", "-cubrel", "-size", "9", "-noresampling"});
    EXPECT_EQ(result.out, kBanner + "\ns.look:\n" + kShaderMissing + kWritten);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(ReadFile("s.lut") == ExpectedCubrel(9, Grade));
    EXPECT_TRUE(ReadFile("s.look") == look);
}

} // namespace
