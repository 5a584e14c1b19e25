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

// LUT files are replaced by their Cubrel LUT; a look that does not render
// falls back on its stored LUT, of the run's size even under -noresampling.
TEST_F(LutFlowTest, DirectConversionReplacesTheLutFile) {
    WriteFile("Small.LUT", CubeText());
    WriteFile("short.lut", "3LU");
    WriteFile("mesh.lut", MeshText());
    WriteFile("container.lut", ContainerBytes());
    // Stored red fastest, written blue fastest.
    const std::string look =
        "<?xml version=\"1.0\" ?>\n" + UnknownShaderLook(LutElement("LUT", 9, GradedFloats()));
    WriteFile("s.look", look);
    const RunResult result = Run({"*.lut", "s.look", "-cubrel", "-size", "9", "-noresampling"});
    EXPECT_EQ(result.out, kBanner + "\ncontainer.lut:\n" + kWritten + "\nmesh.lut:\n" + kWritten +
                              "\nshort.lut:\n" + kReadError + "\nSmall.LUT:\n" + kWritten +
                              "\ns.look:\n" + kShaderMissing + kWritten);
    EXPECT_EQ(result.exitCode, 0);
    for (const char* name : {"Small.LUT", "container.lut", "s.lut"})
        EXPECT_TRUE(ReadFile(name) == ExpectedCubrel(9, Grade)) << name;
    EXPECT_EQ(ReadFile("short.lut"), "3LU");
    EXPECT_TRUE(ReadFile("s.look") == look);
    EXPECT_EQ(List(), (std::vector<std::string>{"Small.LUT", "container.lut", "mesh.lut", "s.look",
                                                "s.lut", "short.lut"}));
    EXPECT_TRUE(ReadFile("mesh.lut") ==
                ExpectedCubrel(9, [](uint32_t r, uint32_t g, uint32_t b, float rgb[3]) {
                    const std::array<uint32_t, 3> codes = MeshCodes(r, g, b);
                    for (int c = 0; c < 3; ++c)
                        rgb[c] = static_cast<float>(codes[c]) * (1.0f / 4095.0f);
                }));
}

} // namespace
