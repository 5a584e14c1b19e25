#include "cli_harness.h"

#include <cstdio>

namespace {

// Output colour of lattice point (r, g, b) of an n-point lattice; exact in six decimals for n = 9.
void Grade(uint32_t n, uint32_t r, uint32_t g, uint32_t b, double rgb[3]) {
    const double step = 1.0 / (n - 1);
    rgb[0] = r * step;
    rgb[1] = g * step * 0.5;
    rgb[2] = 1.0 - b * step;
}

std::string CubeText(uint32_t n) {
    std::string text = "# generated\nLUT_3D_SIZE " + std::to_string(n) + "\n";
    char line[96];
    for (uint32_t b = 0; b < n; ++b)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t r = 0; r < n; ++r) {
                double rgb[3];
                Grade(n, r, g, b, rgb);
                std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", rgb[0], rgb[1], rgb[2]);
                text += line;
            }
    return text;
}

template <typename Colour> std::string ExpectedCubrel9(Colour colour) {
    return ExpectedCubrel(9, [&](uint32_t r, uint32_t g, uint32_t b, float rgb[3]) {
        double exact[3];
        colour(r, g, b, exact);
        for (int c = 0; c < 3; ++c)
            rgb[c] = static_cast<float>(exact[c]);
    });
}

std::string ExpectedCubrel9() {
    return ExpectedCubrel9(
        [](uint32_t r, uint32_t g, uint32_t b, double rgb[3]) { Grade(9, r, g, b, rgb); });
}

// 12-bit output codes of the 3DL test file at lattice point (r, g, b).
void MeshCodes(uint32_t r, uint32_t g, uint32_t b, uint32_t codes[3]) {
    codes[0] = r * 511;
    codes[1] = g * 256;
    codes[2] = 4095 - b * 511;
}

// A 9-point 3DL file with an even shaper line, blue fastest, largest value 4095.
std::string MeshText() {
    std::string text = "0 128 256 384 512 640 768 896 1023\n";
    for (uint32_t r = 0; r < 9; ++r)
        for (uint32_t g = 0; g < 9; ++g)
            for (uint32_t b = 0; b < 9; ++b) {
                uint32_t codes[3];
                MeshCodes(r, g, b, codes);
                text += std::to_string(codes[0]) + " " + std::to_string(codes[1]) + " " +
                        std::to_string(codes[2]) + "\n";
            }
    return text;
}

// The graded 9-point lattice as float triples, red fastest.
std::vector<float> GradedFloats9() {
    std::vector<float> floats;
    for (uint32_t b = 0; b < 9; ++b)
        for (uint32_t g = 0; g < 9; ++g)
            for (uint32_t r = 0; r < 9; ++r) {
                double rgb[3];
                Grade(9, r, g, b, rgb);
                floats.insert(floats.end(), rgb, rgb + 3);
            }
    return floats;
}

// A 9-point VTX2 container of the graded lattice, domain [0, 1], in the
// byte order of this (little-endian) machine.
std::string ContainerBytes() {
    const uint32_t header[3] = {9, 3, 0};
    const float domain[6] = {0, 0, 0, 1, 1, 1};
    const std::vector<float> lattice = GradedFloats9();
    return "VTX2" + std::string(reinterpret_cast<const char*>(header), sizeof header) +
           std::string(reinterpret_cast<const char*>(domain), sizeof domain) +
           std::string(reinterpret_cast<const char*>(lattice.data()), lattice.size() * 4);
}

// A look that cannot be rendered, with the graded 9-point lattice stored in it.
std::string LookWithStoredLut() {
    return "<?xml version=\"1.0\" ?>\n" + UnknownShaderLook(LutElement("LUT", 9, GradedFloats9()));
}

using LutFlowTest = CliTest;

TEST_F(LutFlowTest, DirectConversionReplacesTheLutFile) {
    WriteFile("small.lut", CubeText(9));
    WriteFile("UPPER.LUT", CubeText(9));
    WriteFile("short.lut", "3LU");
    WriteFile("mesh.lut", MeshText());
    WriteFile("container.lut", ContainerBytes());
    const RunResult result = Run({"*.lut", "-cubrel", "-size", "9"});
    EXPECT_EQ(result.out, kBanner + "\ncontainer.lut:\n" + kWritten + "\nmesh.lut:\n" + kWritten +
                              "\nshort.lut:\n  Error reading file\n" + "\nsmall.lut:\n" + kWritten +
                              "\nUPPER.LUT:\n" + kWritten);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(ReadFile("small.lut") == ExpectedCubrel9());
    EXPECT_TRUE(ReadFile("UPPER.LUT") == ExpectedCubrel9());
    EXPECT_TRUE(ReadFile("container.lut") == ExpectedCubrel9());
    EXPECT_EQ(ReadFile("short.lut"), "3LU");
    EXPECT_EQ(List(), (std::vector<std::string>{"UPPER.LUT", "container.lut", "mesh.lut",
                                                "short.lut", "small.lut"}));
    const float scale = 1.0f / 4095.0f;
    EXPECT_TRUE(ReadFile("mesh.lut") ==
                ExpectedCubrel9([scale](uint32_t r, uint32_t g, uint32_t b, double rgb[3]) {
                    uint32_t codes[3];
                    MeshCodes(r, g, b, codes);
                    for (int c = 0; c < 3; ++c)
                        rgb[c] = static_cast<float>(codes[c]) * scale;
                }));
}

TEST_F(LutFlowTest, ResamplingWarnsOnceAndCanBeDisabled) {
    // 9-point files against the default Cubrel size of 17.
    const std::string cube9 = CubeText(9);
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
    WriteFile("c.look", "<look></look>");
    const RunResult result = Run({"*.look"});
    EXPECT_EQ(result.out,
              kBanner + "\na64.look:\n  LUT size is already 64, file was not modified\n" +
                  "\nb16.look:\n  Error rendering new look LUT, file was not modified\n" +
                  "\nc.look:\n  Not a valid .look file\n");
    EXPECT_EQ(result.exitCode, 0);
    const RunResult at16 = Run({"b16.look", "-size", "16"});
    EXPECT_EQ(at16.out, kBanner + "\nb16.look:\n  LUT size is already 16, file was not modified\n");
    EXPECT_EQ(ReadFile("a64.look"), sized64);
    EXPECT_EQ(ReadFile("b16.look"), sized16);
    EXPECT_EQ(ReadFile("c.look"), "<look></look>");
}

TEST_F(LutFlowTest, WrappingWarnsBeforeOverwritingALook) {
    // The looks that wrap these bytes cannot be rendered.
    const std::string cube = kUnloadable;
    WriteFile("a.lut", cube);
    WriteFile("b.lut", cube);
    WriteFile("b.look", "old look");
    const RunResult result = Run({"*.lut"});
    const std::string notRendered = "  Error rendering new look LUT, file was not modified\n";
    EXPECT_EQ(result.out, kBanner + "\na.lut:\n" + notRendered + "\nb.lut:\n" +
                              "  Warning: conversion will overwrite an existing look file\n" +
                              notRendered);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(ReadFile("b.look"), "old look");
    EXPECT_TRUE(ReadFile("a.lut") == cube);
}

TEST_F(LutFlowTest, UnrenderedLookFallsBackToItsStoredLut) {
    const std::string look = LookWithStoredLut();
    WriteFile("s.look", look);
    const RunResult refused = Run({"s.look", "-cubrel", "-noresampling"});
    EXPECT_EQ(refused.out, kBanner + "\ns.look:\n" + kShaderMissing +
                               "  LUT resampling is disabled; the file was not converted\n");
    EXPECT_FALSE(Exists("s.lut"));

    WriteFile("s.lut", "old");
    const RunResult result = Run({"s.look", "-cubrel", "-size", "9"});
    EXPECT_EQ(result.out, kBanner + "\ns.look:\n" + kShaderMissing + kWritten);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(ReadFile("s.lut") == ExpectedCubrel9());
    EXPECT_TRUE(ReadFile("s.look") == look);
}

} // namespace
