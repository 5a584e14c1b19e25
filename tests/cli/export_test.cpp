#include "cli_harness.h"
#include "cubrel_codes.h"

#include "../support/png_decoder.h"

#include "foundation/file_access.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {

// Per channel: a 1D table where the format has one. Its white goes above 1,
// where a CDL clamps.
const std::string kPerChannel = BaseLook(Parameter("Gain.X", "0.15") + Parameter("Gamma.Y", "0.1"));
// Per channel, within what a CDL holds.
const std::string kDim = BaseLook(Parameter("Gain.X", "-0.15") + Parameter("Gamma.Y", "0.1"));

class ExportTest : public CliTest {
protected:
    // The meaning of a file of the working folder, as OpenColorIO reads it.
    Meaning ReadBack(const std::string& name) {
        auto transform = std::make_shared<OcioFileTransform>();
        const std::string path = m_scratch.Drive("work/" + name);
        if (!transform->Open(m_files, CVxString(path.c_str())))
            return [](const double*, double out[3]) { std::fill(out, out + 3, std::nan("")); };
        return [transform](const double in[3], double out[3]) {
            float rgb[3] = {float(in[0]), float(in[1]), float(in[2])};
            transform->Apply(rgb, 1);
            std::copy(rgb, rgb + 3, out);
        };
    }

    SystemFileAccess m_files;
};

// Every format, named in any case and with either dash, writes NAME.EXT with
// its own success line, and holds the transform that Cubrel mode renders for
// a look, and what OpenColorIO applies of a LUT file at the new nodes (not
// Cubrel mode's resampling): within one 10-bit code at every node of 33
// points, read back by OpenColorIO.
TEST_F(ExportTest, EveryFormatHoldsWhatItsSourceMeans) {
    WriteFile("sat.look", kSaturation);
    WriteFile("chan.look", kPerChannel);
    // A LUT file with crosstalk and values outside 0 to 1.
    std::string grid = "LUT_3D_SIZE 3\n";
    for (int i = 0; i < 27; ++i) {
        const double r = i % 3 / 2.0, g = i / 3 % 3 / 2.0, b = i / 9 / 2.0;
        grid += std::to_string(1.2 * r * r - 0.1) + " " + std::to_string(0.5 * (g + b)) + " " +
                std::to_string(b + 0.2 * r * g) + "\n";
    }
    WriteFile("grid.cube", grid);
    ASSERT_EQ(Run({"sat.look", "chan.look", "grid.cube", "-cubrel", "-size", "33"}).exitCode, 0);
    const std::string satCubrel = ReadFile("sat.lut"), chanCubrel = ReadFile("chan.lut");
    struct Case {
        const char* option;
        const char* format;
        const char* extension;
        const char* line;
    };
    const Case cases[] = {
        {"-to", "cube", ".cube", "cube LUT"},
        {"--to", "3DL", ".3dl", "3DL LUT"},
        {"-to", "Resolve-Cube", ".cube", "Resolve cube LUT"},
        {"-TO", "clf", ".clf", "CLF LUT"},
        {"-to", "Ctf", ".ctf", "CTF LUT"},
        {"-to", "csp", ".csp", "cinespace LUT"},
        {"-to", "cub", ".cub", "Truelight LUT"},
        {"-to", "itx", ".itx", "itx LUT"},
        {"-to", "spi3d", ".spi3d", "spi3d LUT"},
    };
    for (const Case& c : cases) {
        const RunResult result = Run({"sat.look", c.option, c.format, "chan.look", "grid.cube",
                                      "-size", "33", "-jobs", "2"});
        const std::string line = std::string(c.line) + " written successfully";
        const bool ownInput = std::string(c.extension) == ".cube";
        const std::string gridBlock =
            ownInput ? "\ngrid.cube:\n  Error: grid.cube is the input itself; file was not "
                       "converted (-out DIR writes elsewhere)\n"
                     : Block("grid.cube", line);
        EXPECT_EQ(result.out,
                  kBanner + Block("sat.look", line) + Block("chan.look", line) + gridBlock)
            << c.format;
        EXPECT_EQ(result.exitCode, 0);
        for (const auto& [name, cubrel] : {std::pair{"sat", &satCubrel}, {"chan", &chanCubrel}})
            EXPECT_LE(LargestCodeError(*cubrel, ReadBack(name + std::string(c.extension)), 33), 1)
                << name << c.extension;
        if (!ownInput) {
            EXPECT_LE(LargestCodeDifference(ReadBack("grid" + std::string(c.extension)),
                                            ReadBack("grid.cube"), 33),
                      1)
                << c.extension;
        }
        // Where our own readers take the format, they pass over its mark as OpenColorIO does.
        const std::string written = std::string("sat") + c.extension;
        if (IsLutFile(CVxString(written.c_str())) && !IsOcioLutFile(CVxString(written.c_str()))) {
            MakeFolder("back");
            ASSERT_EQ(Run({written, "-cubrel", "-size", "33", "-out", "back"}).exitCode, 0);
            EXPECT_LE(LargestCodeError(ReadFile("back/sat.lut"), ReadBack(written), 33), 1)
                << written;
            std::filesystem::remove_all(m_work + "/back");
        }
    }
    // spi1d holds only the per-channel look.
    const RunResult spi1d = Run({"chan.look", "sat.look", "-to", "spi1d"});
    EXPECT_EQ(spi1d.out,
              kBanner + Block("chan.look", "spi1d LUT written successfully") +
                  Block("sat.look", "Not converted: a spi1d LUT holds only looks that act on "
                                    "each channel alone"));
    EXPECT_LE(LargestCodeError(chanCubrel, ReadBack("chan.spi1d"), 33), 1);
    EXPECT_EQ(ReadFile("sat.look"), kSaturation);
    EXPECT_EQ(ReadFile("chan.look"), kPerChannel);
    EXPECT_EQ(ReadFile("grid.cube"), grid);
}

// A look that cannot be rendered falls back on its stored LUT, with Cubrel
// mode's messages, or is not converted under -noresampling.
TEST_F(ExportTest, StoredLutFallback) {
    WriteFile("broken.look", "<?xml version=\"1.0\" ?>\n" + UnknownShaderLook(StoredLut(0.25f)));
    const RunResult result = Run({"broken.look", "-to", "cube", "-size", "17"});
    EXPECT_EQ(result.out, kBanner + "\nbroken.look:\n" + kShaderMissing +
                              "  Resampling original LUT from the .look file...\n" +
                              kResampleWarning + "  cube LUT written successfully\n");
    std::string rows;
    for (int i = 0; i < 17 * 17 * 17; ++i)
        rows += "0.250000 0.250000 0.250000\n";
    EXPECT_EQ(ReadFile("broken.cube"), "# Written by Gradeshift\nLUT_3D_SIZE 17\n" + rows);
    EXPECT_EQ(Run({"broken.look", "-to", "clf", "-size", "17", "-noresampling"}).out,
              kBanner + "\nbroken.look:\n" + kShaderMissing +
                  "  LUT resampling is disabled; the file was not converted\n");
}

// A per-channel look is a 4096-entry 1D cube; LUT files of other formats are
// applied at the nodes, a 1D file staying 1D over its own input range and a
// shaper kept before its lattice: each written file means what OpenColorIO
// reads in its source, inputs and values outside 0 to 1 included.
TEST_F(ExportTest, OneDimensionalTablesAndLutFiles) {
    WriteFile("chan.look", kPerChannel);
    WriteFile("curve.cube",
              "LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE -0.5 1.5\n0 0 0\n0.25 0.5 1\n1 1 2\n");
    std::string lattice = "LUT_3D_SIZE 2\n";
    for (int i = 0; i < 8; ++i)
        lattice += std::to_string((i & 1) * 0.8 + 0.1) + " " + std::to_string((i >> 1 & 1) * 0.5) +
                   " " + std::to_string((i >> 2) * 1.2 - 0.1) + "\n";
    WriteFile("grid.3dl.cube", lattice);
    WriteFile("shaped.cube", "LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE -0.5 1.5\nLUT_3D_SIZE 2\n"
                             "0 0 0\n0.3 0.3 0.3\n1 1 1\n"
                             "0 0 0\n1 0 0\n0 1 0\n1 1 0.5\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
    const RunResult result = Run({"chan.look", "curve.cube", "grid.3dl.cube", "-to", "clf"});
    EXPECT_EQ(result.out, kBanner + Block("chan.look", "CLF LUT written successfully") +
                              Block("curve.cube", "CLF LUT written successfully") +
                              Block("grid.3dl.cube", "CLF LUT written successfully"));
    EXPECT_EQ(Run({"shaped.cube", "-to", "ctf"}).out,
              kBanner + Block("shaped.cube", "CTF LUT written successfully"));
    EXPECT_NE(ReadFile("chan.clf").find("<LUT1D"), std::string::npos);
    EXPECT_NE(ReadFile("curve.clf").find("<LUT1D"), std::string::npos);
    EXPECT_NE(ReadFile("grid.3dl.clf").find("<LUT3D"), std::string::npos);
    for (const auto& [written, source] : {std::pair{"curve.clf", "curve.cube"},
                                          {"grid.3dl.clf", "grid.3dl.cube"},
                                          {"shaped.ctf", "shaped.cube"}}) {
        const Meaning file = ReadBack(written), expected = ReadBack(source);
        // Away from the curve's middle entry, where 4096 entries cut the corner.
        for (const double x : {-0.5, 0.1, 0.3, 1.25, 1.5}) {
            const double in[3] = {x, 1.2 - x, 1.5 - x};
            double out[3], want[3];
            file(in, out);
            expected(in, want);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(out[c], want[c], 1e-5) << written << " " << x << " " << c;
        }
    }
    ASSERT_EQ(Run({"chan.look", "-to", "resolve-cube"}).exitCode, 0);
    EXPECT_EQ(ReadFile("chan.cube").substr(0, 41), "# Written by Gradeshift\nLUT_1D_SIZE 4096\n");
}

// What is not written: an existing file that no run wrote (the failure tests
// replace a file a run wrote, and with -overwrite any), an ASC CDL of anything
// but a per-channel look, and bad formats and sizes.
TEST_F(ExportTest, RefusalsAndSizes) {
    WriteFile("sat.look", kSaturation);
    WriteFile("chan.look", kPerChannel);
    WriteFile("dim.look", kDim);
    WriteFile("id.cube", "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n");
    WriteFile("sat.3dl", "notes about the shot\n");
    ExpectRuns({
        {"chan.look sat.look -to 3dl",
         Block("chan.look", "3DL LUT written successfully") +
             Block("sat.look", "Error: sat.3dl exists and is not a 3DL LUT that Gradeshift "
                               "wrote; file was not converted (-out DIR writes elsewhere; "
                               "-overwrite replaces it)"),
         "", 0},
        {"dim.look chan.look sat.look id.cube -to cc -strict",
         Block("dim.look", "ASC CDL written successfully") +
             Block("chan.look", "Not expressible as an ASC CDL: values above 1 would be clipped") +
             Block("sat.look", "Not expressible as an ASC CDL: the look's channels affect each "
                               "other") +
             Block("id.cube", "Not expressible as an ASC CDL: a LUT file holds no CDL"),
         "gradeshift: chan.look: not expressible as an ASC CDL: values above 1 would be clipped\n"
         "gradeshift: sat.look: not expressible as an ASC CDL: the look's channels affect each "
         "other\ngradeshift: id.cube: not expressible as an ASC CDL: a LUT file holds no CDL\n"
         "1 converted, 0 unchanged, 3 failed\nfailed: chan.look, sat.look, id.cube\n",
         2},
        {"sat.look -to png", kUsage,
         "gradeshift: -to: \"png\" is not a format (cubrel, cube, resolve-cube, 3dl, clf, ctf, "
         "csp, cub, itx, spi3d, spi1d, cc, hald)\n" +
             kTryHelp,
         1},
        {"sat.look -to hald -size 50",
         "Invalid size for Hald CLUTs. The size has to be the square of a level\n"
         "(e.g. 8*8=64) and the allowed range is 16 to 144.\n\n",
         "", 1},
        {"sat.look -to cube -size 130",
         "Invalid LUT size for cube files. The size is the number of points per axis\n"
         "and the allowed range is 2 to 129.\n\n",
         "", 1},
    });
    // The CDL names the look and reads back as the look's render, within a code.
    const std::string cdl = ReadFile("dim.cc");
    EXPECT_NE(cdl.find("<ColorCorrection id=\"dim\">"), std::string::npos);
    ASSERT_EQ(Run({"dim.look", "-cubrel", "-size", "33"}).exitCode, 0);
    EXPECT_LE(LargestCodeError(ReadFile("dim.lut"), ReadBack("dim.cc"), 33), 1);
    EXPECT_EQ(List(), (std::vector<std::string>{"chan.3dl", "chan.look", "dim.cc", "dim.look",
                                                "dim.lut", "id.cube", "sat.3dl", "sat.look"}));
}

// A process list that OpenColorIO refuses, saying why.
const std::string kBadClf = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<ProcessList id=\"x\" compCLFversion=\"3\">\n"
                            "  <Matrix inBitDepth=\"32f\" outBitDepth=\"32f\">\n"
                            "    <Array dim=\"3 3\">\n-0.96930 P 0.04\n0 1 0\n0 0 1\n"
                            "    </Array>\n  </Matrix>\n</ProcessList>\n";

// With -to a folder stands for every look and LUT file in it; a look that
// falls back on its stored LUT, and a file that OpenColorIO refuses, say why;
// a look made around a 1D LUT file is per-channel.
TEST_F(ExportTest, FoldersFallbacksAndCauses) {
    MakeFolder("luts");
    MakeFolder("out");
    WriteFile("luts/a.cube", "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n");
    WriteFile("luts/bad.clf", kBadClf);
    WriteFile("luts/m.look", BaseLook(Parameter("BaseLUT", "nope.cube"), StoredLut(0.25f)));
    WriteFile("luts/notes.txt", "not a LUT\n");
    const RunResult run =
        Run({"luts", "-to", "cube", "-size", "9", "-out", "out", "-v", "-strict"});
    EXPECT_EQ(run.out, kBanner + Block("a.cube", "cube LUT written successfully") +
                           Block("bad.clf", "Error loading LUT") + "\nm.look:\n" + kLutMissing +
                           "  cube LUT written successfully\n");
    EXPECT_EQ(run.err,
              "gradeshift: luts/a.cube -> out/a.cube (new cube LUT)\n"
              "gradeshift: luts/bad.clf: At line 4: Illegal values '-0.96930 P 0.04' in "
              "array of Matrix\n"
              "gradeshift: luts/m.look -> out/m.cube (new cube LUT) from its stored LUT: "
              "LUT file not found: nope.cube\n"
              "1 converted, 1 from stored LUTs, 0 unchanged, 1 failed\nfailed: luts/bad.clf\n");
    EXPECT_EQ(run.exitCode, 2);
    // Rebuild mode wraps the 1D table into a look, which spi1d then takes.
    WriteFile("curve.cube", "LUT_1D_SIZE 3\n0 0 0\n0.25 0.5 0.75\n1 1 1\n");
    ASSERT_EQ(Run({"curve.cube"}).exitCode, 0);
    EXPECT_EQ(Run({"curve.look", "-to", "spi1d"}).out,
              kBanner + Block("curve.look", "spi1d LUT written successfully"));
}

// The nodes of an n-point lattice, red fastest, as 16-bit little-endian RGB pixels.
std::string NodePixels(uint32_t n) {
    std::string pixels;
    for (uint32_t i = 0; i < n * n * n; ++i)
        for (const uint32_t node : {i % n, i / n % n, i / (n * n)}) {
            const uint16_t value = static_cast<uint16_t>(std::lround(node * 65535.0 / (n - 1)));
            pixels += static_cast<char>(value & 255);
            pixels += static_cast<char>(value >> 8);
        }
    return pixels;
}

// The exports load in the program that people apply them with: ffmpeg's
// lut3d (cube, 3DL, cinespace), lut1d (the 1D table of a per-channel
// resolve-cube) and haldclut. At the nodes of 17 points, as 16-bit pixels,
// each gives the look's 17-point cube within one 10-bit code.
TEST_F(ExportTest, ExportsLoadInFfmpeg) {
    if (!HasProgram("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    WriteFile("sat.look", kSaturation);
    WriteFile("chan.look", kPerChannel);
    const auto ffmpeg = [](const std::string& inputs, const std::string& filter, uint32_t n) {
        return "ffmpeg -v error -f rawvideo -pix_fmt rgb48le -s " + std::to_string(n * n) + "x" +
               std::to_string(n) + " -i in.raw " + inputs + filter +
               " -f rawvideo -pix_fmt rgb48le -y out.raw";
    };
    // The Hald image is read at its own 64 nodes, the others at 17.
    const struct {
        const char* look;
        const char* format;
        uint32_t n;
        std::string command;
    } cases[] = {
        {"sat", "cube", 17, ffmpeg("-vf ", "lut3d=file=sat.cube", 17)},
        {"sat", "3dl", 17, ffmpeg("-vf ", "lut3d=file=sat.3dl", 17)},
        {"sat", "csp", 17, ffmpeg("-vf ", "lut3d=file=sat.csp", 17)},
        {"chan", "resolve-cube", 17, ffmpeg("-vf ", "lut1d=file=chan.cube", 17)},
        {"sat", "hald", 64, ffmpeg("-i sat.png -filter_complex ", "'[0][1]haldclut'", 64)},
    };
    for (const auto& c : cases) {
        const std::string look = std::string(c.look) + ".look", size = std::to_string(c.n);
        ASSERT_EQ(Run({look, "-to", "cube", "-size", size}).exitCode, 0);
        const std::vector<double> expected =
            ReadCubeTable(ReadFile(std::string(c.look) + ".cube")).rows;
        ASSERT_EQ(expected.size(), size_t(3) * c.n * c.n * c.n);
        ASSERT_EQ(Run({look, "-to", c.format, "-size", size}).exitCode, 0) << c.format;
        WriteFile("in.raw", NodePixels(c.n));
        ASSERT_EQ(std::system(("cd '" + m_work + "' && " + c.command).c_str()), 0) << c.command;
        const std::string out = ReadFile("out.raw");
        ASSERT_EQ(out.size(), expected.size() * 2) << c.format;
        double largest = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            const auto low = static_cast<uint8_t>(out[2 * i]);
            const auto high = static_cast<uint8_t>(out[2 * i + 1]);
            const double value = (high << 8 | low) / 65535.0;
            largest =
                std::max(largest, std::fabs(value - std::clamp(expected[i], 0.0, 1.0)) * 1023);
        }
        EXPECT_LE(largest, 1.0) << c.format;
    }
}

// A Hald CLUT of the default level 8 is a 512 by 512 16-bit RGB image whose
// pixels are the 64-point lattice of the cube written at that size, clamped.
TEST_F(ExportTest, HaldClutIsTheLatticeAsAnImage) {
    WriteFile("sat.look", kSaturation);
    EXPECT_EQ(Run({"sat.look", "-to", "hald"}).out,
              kBanner + Block("sat.look", "Hald CLUT written successfully"));
    ASSERT_EQ(Run({"sat.look", "-to", "cube", "-size", "64"}).exitCode, 0);
    const DecodedPng image = DecodePng(ReadFile("sat.png"));
    EXPECT_EQ(image.width, 512u);
    EXPECT_EQ(image.height, 512u);
    EXPECT_EQ(image.bitDepth, 16);
    EXPECT_EQ(image.colorType, PNG_COLOR_TYPE_RGB);
    const CubeTable cube = ReadCubeTable(ReadFile("sat.cube"));
    ASSERT_EQ(cube.size, 64u);
    ASSERT_EQ(image.samples.size(), cube.rows.size());
    int largest = 0;
    for (size_t i = 0; i < cube.rows.size(); ++i) {
        const int code = static_cast<int>(std::lround(std::clamp(cube.rows[i], 0.0, 1.0) * 65535));
        largest = std::max(largest, std::abs(code - static_cast<int>(image.samples[i])));
    }
    EXPECT_LE(largest, 1);
}

} // namespace
