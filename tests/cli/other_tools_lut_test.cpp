// .lut files that finishing, compositing and 3D tools write: Discreet 1D
// tables, Houdini LUTs and 3DL files with 16-bit input codes, converted in both
// modes and compared with OpenColorIO applying the same file; and files that
// hold nothing to read, which every flow refuses.

#include "cubrel_codes.h"

#include "lut/ocio_reader.h"

#include "../support/system_luts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kGammas[4] = {0.45, 0.8, 1.6, 1.0};

// The half float nearest a value from 0 to 65504.
uint32_t HalfBits(double value) {
    if (value < std::ldexp(1.0, -14))
        return static_cast<uint32_t>(std::lround(std::ldexp(value, 24)));
    int exponent = 0;
    const double mantissa = std::frexp(value, &exponent); // in [0.5, 1)
    const uint32_t fraction = static_cast<uint32_t>(std::lround((2 * mantissa - 1) * 1024));
    return (uint32_t(exponent + 14) << 10) + fraction;
}

// The input of entry i: i / (length - 1), or the half float whose bits are i
// for 65536 entries (negative halfs and beyond 1 held at 0 and 1).
double EntryInput(uint32_t i, uint32_t length) {
    if (length != 65536)
        return double(i) / (length - 1);
    if (i >= 0x8000)
        return 0.0;
    const int exponent = int(i >> 10);
    const double half = exponent == 0 ? std::ldexp(double(i & 1023), -24)
                                      : std::ldexp(double((i & 1023) + 1024), exponent - 25);
    return std::min(half, 1.0);
}

// A Discreet 1D file: `tables` tables of `length` values after the header
// (with the depth token when not empty). Table c bends the input by gamma c,
// into codes up to `top`, or into half floats when `top` is 0.
std::string Discreet(uint32_t tables, uint32_t length, const std::string& depth, uint32_t top) {
    std::string text = "# written by a finishing system\nLUT: " + std::to_string(tables) + " " +
                       std::to_string(length) + (depth.empty() ? "" : " " + depth) + "\n";
    for (uint32_t c = 0; c < tables; ++c)
        for (uint32_t i = 0; i < length; ++i) {
            const double y = std::pow(EntryInput(i, length), kGammas[c]);
            text += std::to_string(top ? std::lround(y * top) : HalfBits(y)) + "\n";
        }
    return text;
}

// A Houdini channel LUT over the inputs 0 to 1.25.
std::string HoudiniChannels() {
    std::string text = "Version\t\t1\nFormat\t\tany\nType\t\tC\nFrom\t\t0.0 1.25\nTo\t\t0.0 1.0\n"
                       "Black\t\t0\nWhite\t\t1\nLength\t\t1024\nLUT:\nRGB {\n";
    char line[32];
    for (int i = 0; i < 1024; ++i) {
        std::snprintf(line, sizeof line, "\t%.6f\n", 0.05 + 0.9 * std::pow(i / 1023.0, 0.7));
        text += line;
    }
    return text + "}\n";
}

// A 33-point 3DL file of 16-bit outputs whose input codes run to 65535, blue
// fastest, after the header.
std::string Mesh16(const std::string& header) {
    std::string text = header;
    for (int k = 0; k < 33; ++k)
        text += std::to_string(k < 32 ? k * 2048 : 65535) + (k < 32 ? " " : "\n");
    for (int i = 0; i < 33 * 33 * 33; ++i) {
        const double r = i / 1089 / 32.0, g = i / 33 % 33 / 32.0, b = i % 33 / 32.0;
        const double out[3] = {0.05 + 0.75 * r + 0.1 * g * b, 0.08 + 0.7 * g + 0.15 * r * r,
                               0.06 + 0.8 * b - 0.05 * r * g};
        for (int c = 0; c < 3; ++c)
            text += std::to_string(std::lround(out[c] * 65535)) + (c < 2 ? " " : "\n");
    }
    return text;
}

// A grade with saturation, baked by ociobakelut: a 3D LUT, or with a square-root
// shaper space a 1D pre-LUT and a 3D LUT.
const std::string kBakeConfig = R"(ocio_profile_version: 2
roles: {default: lin, reference: lin}
file_rules:
  - !<Rule> {name: Default, colorspace: default}
colorspaces:
  - !<ColorSpace> {name: lin}
  - !<ColorSpace>
    name: shaper
    from_scene_reference: !<ExponentTransform> {value: [0.5, 0.5, 0.5, 1]}
  - !<ColorSpace>
    name: graded
    from_scene_reference: !<CDLTransform> {slope: [1.2, 0.9, 1.1], offset: [0.02, -0.01, 0.03],
                                           power: [0.8, 1.1, 1.3], sat: 0.9}
)";

// The colours of the nodes of the n-point lattice (red fastest) in a rebuilt look's LUT element.
std::vector<float> StoredLattice(const std::string& look, uint32_t n) {
    const size_t size = look.find("<size>\"" + std::to_string(n) + "\"</size>");
    const size_t data = look.find("<data>\"", size);
    std::vector<float> rgb;
    if (size == std::string::npos || data == std::string::npos)
        return rgb;
    std::string bytes;
    for (size_t i = data + 7; i < look.size() && look[i] != '"'; ++i)
        if (std::isxdigit(static_cast<unsigned char>(look[i])) &&
            std::isxdigit(static_cast<unsigned char>(look[i + 1]))) {
            bytes += static_cast<char>(std::stoi(look.substr(i, 2), nullptr, 16));
            ++i;
        }
    rgb.resize(bytes.size() / 4);
    std::memcpy(rgb.data(), bytes.data(), rgb.size() * 4);
    return rgb;
}

class OtherToolsLutTest : public CliTest {
protected:
    // OpenColorIO applying a file of the working folder at the nodes of an
    // n-point lattice, red fastest.
    std::vector<float> OcioNodes(const std::string& name, uint32_t n) const {
        OcioFileTransform transform;
        std::vector<float> rgb(3 * n * n * n);
        if (!transform.Open(SystemLuts::Plain().files, m_scratch.Drive("work/" + name).c_str()) ||
            !transform.ApplyToLattice(n, rgb.data()))
            rgb.clear();
        return rgb;
    }
};

// Every form within one code of OpenColorIO at the 33 Cubrel nodes, and within
// 1/1023 at the 32 nodes of a rebuilt look's lattice.
TEST_F(OtherToolsLutTest, FilesOfOtherToolsConvertAsOpenColorIoReadsThem) {
    if (!GRADESHIFT_WITH_OCIO)
        GTEST_SKIP() << "built without OpenColorIO (-DGRADESHIFT_OCIO=OFF)";
    std::vector<std::pair<std::string, std::string>> files = {
        {"discreet_8.lut", Discreet(3, 256, "", 255)},
        {"discreet_10_to_12.lut", Discreet(3, 1024, "4096", 4095)},
        {"logto12.lut", Discreet(1, 1024, "", 4095)},
        {"discreet_12_alpha.lut", Discreet(4, 4096, "", 4095)},
        {"discreet_half_in.lut", Discreet(3, 65536, "", 65535)},
        {"discreet_half_in_out.lut", Discreet(3, 65536, "65536f", 0)},
        {"ramp_to16f.lut", Discreet(3, 1024, "", 0)},
        {"houdini_c.lut", HoudiniChannels()},
        {"mesh_16.lut", Mesh16("")},
        {"mesh_16_header.lut", Mesh16("3DMESH\nMesh 5 16\n")},
    };
    const bool baking = std::system("command -v ociobakelut > /dev/null 2>&1") == 0;
    if (baking) {
        WriteFile("bake.ocio", kBakeConfig);
        const std::string bake = "ociobakelut --iconfig '" + m_work +
                                 "/bake.ocio' --inputspace lin --outputspace graded --format "
                                 "houdini --cubesize 33 ";
        ASSERT_EQ(std::system((bake + "'" + m_work + "/houdini_3d.lut' > /dev/null").c_str()), 0);
        ASSERT_EQ(std::system((bake + "--shaperspace shaper --shapersize 1024 '" + m_work +
                               "/houdini_3d1d.lut' > /dev/null")
                                  .c_str()),
                  0);
        files.push_back({"houdini_3d.lut", ReadFile("houdini_3d.lut")});
        files.push_back({"houdini_3d1d.lut", ReadFile("houdini_3d1d.lut")});
    }
    std::sort(files.begin(), files.end());

    std::string converted = kBanner, rebuilt = kBanner;
    std::vector<std::vector<float>> cubrelNodes, lookNodes;
    bool warned = false;
    for (const auto& [name, text] : files) {
        WriteFile(name, text);
        cubrelNodes.push_back(OcioNodes(name, 33));
        lookNodes.push_back(OcioNodes(name, 32));
        ASSERT_FALSE(cubrelNodes.back().empty()) << name;
        // OpenColorIO makes a Houdini 3D LUT a 129-point lattice, which is resampled.
        converted += "\n" + name + ":\n";
        if (name == "houdini_3d.lut")
            converted += "  Resampling LUT...\n" + (warned ? "" : kResampleWarning);
        warned = warned || name == "houdini_3d.lut";
        converted += kWritten;
        rebuilt += "\n" + name + ":\n" + kUpdated;
    }
    EXPECT_EQ(Run({"*.lut", "-size", "32"}).out, rebuilt);
    EXPECT_EQ(Run({"*.lut", "-cubrel", "-size", "33"}).out, converted);
    for (size_t f = 0; f < files.size(); ++f) {
        const std::string& name = files[f].first;
        const std::vector<float>& at33 = cubrelNodes[f];
        EXPECT_LE(LargestCodeError(
                      ReadFile(name),
                      [&at33](const double in[3], double out[3]) {
                          size_t node = 0;
                          for (int c = 2; c >= 0; --c)
                              node = node * 33 + size_t(std::lround(in[c] * 32));
                          std::copy(&at33[3 * node], &at33[3 * node + 3], out);
                      },
                      33),
                  1)
            << name;
        const std::string look = ReadFile(name.substr(0, name.size() - 4) + ".look");
        EXPECT_NE(look.find(Parameter("BaseLUT", name)), std::string::npos) << name;
        const std::vector<float> lattice = StoredLattice(look, 32);
        ASSERT_EQ(lattice.size(), lookNodes[f].size()) << name;
        float largest = 0;
        for (size_t i = 0; i < lattice.size(); ++i)
            largest = std::max(largest, std::fabs(lattice[i] - lookNodes[f][i]));
        EXPECT_LE(largest, 1.0f / 1023) << name;
    }
}

// Files with nothing to read, and curve sets that define no curve: in Cubrel
// mode the file stays as it is, in rebuild mode no look is written.
TEST_F(OtherToolsLutTest, FilesWithNothingToReadFailInEveryFlow) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"binary.lut", std::string("\0LUT_3D_SIZE 2\n", 15)},
        {"blank.lut", "\r\n  \n\t\n\n"},
        {"comments.lut", "# exported\n#\n  # nothing else\n"},
        {"empty.lut", ""},
        {"mark.lut", "\xEF\xBB\xBF\n"},
        {"no_outputs.lut", "<VEXLANScript>\nlevel = in * 2;\n</VEXLANScript>\n"},
        {"no_points.lut", "Lookup(1, Linear(0, ), Linear(0, ), Linear(0, ), Linear(0, 0@0))\n"},
    };
    std::string converted = kBanner, rebuilt = kBanner;
    std::vector<std::string> names;
    for (const auto& [name, text] : files) {
        WriteFile(name, text);
        names.push_back(name);
        // The Cubrel flow reads the first four bytes before it loads anything.
        converted += "\n" + name + ":\n" +
                     (text.size() < 4 ? "  Error reading file\n"
                                      : "  Error loading LUT\n" + kLutMissing + kCannotConvert);
        rebuilt += "\n" + name + ":\n" + kNotRendered;
    }
    EXPECT_EQ(Run({"*.lut", "-cubrel"}).out, converted);
    EXPECT_EQ(Run({"*.lut", "-size", "32"}).out, rebuilt);
    EXPECT_EQ(List(), names);
    for (const auto& [name, text] : files)
        EXPECT_EQ(ReadFile(name), text) << name;
}

} // namespace
