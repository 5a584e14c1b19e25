#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "lut/lut_formats.h"
#include "lut/lut_writers.h"
#include "lut/ocio_reader.h"

#include "../support/scratch_folder.h"
#include "../support/system_luts.h"
#include "lut_writer_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

using enum CVxLUT::EDimensionRequirement;

struct Grade {
    float slope[3], offset[3], power[3], saturation;
};
// Red's negative offset reaches below 0, where the power needs the clamp.
constexpr Grade kGrade = {{0.9f, 1.0f, 0.8f}, {-0.05f, 0.0f, 0.1f}, {0.8f, 1.0f, 1.25f}, 0.8f};
constexpr Grade kSteepGrade = {{1, 1, 1}, {0, 0, 0}, {0.45f, 0.5f, 0.6f}, 0.7f};

std::string Triple(const float v[3]) {
    char text[64];
    std::snprintf(text, sizeof text, "%.7g %.7g %.7g", v[0], v[1], v[2]);
    return text;
}

std::string SopAndSat(const Grade& g) {
    return "<SOPNode><Slope>" + Triple(g.slope) + "</Slope><Offset>" + Triple(g.offset) +
           "</Offset><Power>" + Triple(g.power) + "</Power></SOPNode><SatNode><Saturation>" +
           std::to_string(g.saturation) + "</Saturation></SatNode>";
}

std::string Correction(const char* id, const Grade& grade) {
    return std::string("<ColorCorrection id=\"") + id + "\">" + SopAndSat(grade) +
           "</ColorCorrection>\n";
}

// Every node of a 33-point lattice through a 3D table with crosstalk and curves,
// blue fastest as the text formats list them (with the node's indices first for
// .spi3d), or a 33-entry ramp through it.
std::string Lines(bool cube, bool indices = false) {
    std::string text;
    for (uint32_t i = 0; i < (cube ? 33u * 33 * 33 : 33u); ++i) {
        const uint32_t r = cube ? i / 1089 : i, g = cube ? i / 33 % 33 : i, b = cube ? i % 33 : i;
        const float x = r / 32.0f, y = g / 32.0f, z = b / 32.0f;
        const float rgb[3] = {0.8f * x * x + 0.2f * y, 0.5f * (y + z * z), 0.9f * z + 0.1f * x * y};
        if (indices)
            text += std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b) + " ";
        text += Triple(rgb) + "\n";
    }
    return text;
}

const std::string kClf = "<ProcessList id=\"t\" compCLFversion=\"3\">\n";
const std::string kCdlNode = "<ASC_CDL inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"Fwd\">" +
                             SopAndSat(kGrade) + "</ASC_CDL>\n";
const std::string kLut3dNode = "<LUT3D inBitDepth=\"32f\" outBitDepth=\"32f\">\n<Array dim=\"33 33 "
                               "33 3\">\n" +
                               Lines(true) + "</Array>\n</LUT3D>\n";
const std::string kEnd = "</ProcessList>\n";

// The grade baked into a 33-point cinespace file by OpenColorIO's own tool.
std::string BakedCinespace(const ScratchFolder& folder) {
    folder.Write("bake.cc", Correction("bake", kGrade));
    const std::string command = "env -u OCIO ociobakelut --lut '" + folder.Posix() +
                                "/bake.cc' --format cinespace --cubesize 33 '" + folder.Posix() +
                                "/baked.csp' > /dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? folder.Read("baked.csp") : "";
}

CVxString PathOf(const ScratchFolder& folder, const char* name) {
    return folder.Drive(name).c_str();
}

// What each file's transform holds and the LUT that Load makes of it: a CDL
// first goes into a pre-LUT, a 3D table into a whole lattice, curves alone
// into a table. What the LUTs hold is compared end to end.
TEST(OcioReader, LoadSizesFollowTheRequestAndTheTransform) {
    ScratchFolder folder;
    const bool canBake = std::system("command -v ociobakelut > /dev/null 2>&1") == 0;
    const std::string first = Correction("first", kGrade),
                      second = Correction("second", kSteepGrade);
    const struct {
        const char* name;
        std::string text;
        bool powerOfTwo;
        CVxLUT::EDimensionRequirement requirement;
        uint32_t size, preLutSize; // size 0: the load fails
        uint32_t corrections;
        const char* id;
    } cases[] = {
        {"grade.clf", kClf + kCdlNode + kEnd, false, eAnyDimension, 65, 65536, 1, ""},
        {"table.clf", kClf + kLut3dNode + kEnd, false, eAnyDimension, 129, 0, 1, ""},
        {"grade.cc", Correction("one", kGrade), false, eAnyDimension, 65, 65536, 1, "one"},
        {"grades.ccc",
         "<ColorCorrectionCollection>\n" + first + second + "</ColorCorrectionCollection>\n", false,
         eAnyDimension, 65, 65536, 2, "first"},
        {"grades.cdl",
         "<ColorDecisionList>\n<ColorDecision>" + first + "</ColorDecision>\n<ColorDecision>" +
             second + "</ColorDecision>\n</ColorDecisionList>\n",
         false, eAnyDimension, 65, 65536, 2, "first"},
        {"baked.csp", BakedCinespace(folder), false, eAnyDimension, 129, 0, 1, ""},
        {"matrix.spimtx", "0.7 0.2 0.1 1310.7\n0.1 0.8 0 0\n0 0.3 0.6 0\n", false, eAnyDimension,
         129, 0, 1, ""},
        {"grade.cc", Correction("one", kGrade), true, eAnyDimension, 64, 65536, 1, "one"},
        {"grade.clf", kClf + kCdlNode + kEnd, false, eOnly1D, 0, 0, 1, ""},
    };
    for (const auto& c : cases) {
        if (c.text.empty() && !canBake)
            continue; // the baked file, reported as skipped below
        ASSERT_FALSE(c.text.empty()) << c.name << ": ociobakelut could not bake the file";
        folder.Write(c.name, c.text);
        OcioFileTransform transform;
        ASSERT_TRUE(transform.Open(SystemLuts::Plain().files, PathOf(folder, c.name))) << c.name;
        EXPECT_EQ(transform.CorrectionCount(), c.corrections) << c.name;
        EXPECT_EQ(transform.CorrectionId(), c.id) << c.name;
        CVxLUT lut;
        EXPECT_EQ(lut.Load(SystemLuts::Plain(), PathOf(folder, c.name), c.powerOfTwo, c.requirement,
                           false),
                  c.size != 0)
            << c.name;
        EXPECT_EQ(lut.m_is3D, c.size != 0 && c.size != 65536) << c.name;
        EXPECT_EQ(lut.m_size, c.size) << c.name;
        EXPECT_EQ(lut.m_preLUT ? lut.m_preLUT->m_size : 0, c.preLutSize) << c.name;
    }
    if (!canBake)
        GTEST_SKIP() << "ociobakelut is missing: no cinespace file was baked to load";
}

// A correction file that OpenColorIO parses but that holds no correction loads
// nothing; files that OpenColorIO cannot parse are refused end to end.
TEST(OcioReader, ACollectionWithoutCorrectionsLoadsNothing) {
    ScratchFolder folder;
    folder.Write("a.ccc", "<ColorCorrectionCollection>\n</ColorCorrectionCollection>\n");
    for (const char* name : {"a.ccc", "absent.ccc"}) {
        CVxLUT lut;
        EXPECT_FALSE(
            lut.Load(SystemLuts::Plain(), PathOf(folder, name), false, eAnyDimension, true))
            << name;
        EXPECT_TRUE(lut.m_size == 0 && lut.m_preLUT == nullptr) << name;
    }
}

// A loaded LUT stays within 0.002 of the file at nodes of a 256-point look,
// next to 0, where curves bend most, and across: with a steep CDL in a
// pre-LUT, and with a CDL behind a 3D LUT in the lattice.
TEST(OcioReader, LoadedLutsFollowTheFileClosely) {
    ScratchFolder folder;
    const std::string files[][2] = {{"steep.cc", Correction("steep", kSteepGrade)},
                                    {"table_then_grade.clf", kClf + kLut3dNode + kCdlNode + kEnd}};
    const int indices[] = {0, 1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 254, 255};
    for (const auto& file : files) {
        const CVxString path = folder.Write(file[0], file[1]).c_str();
        OcioFileTransform transform;
        CVxLUT lut;
        ASSERT_TRUE(transform.Open(SystemLuts::Plain().files, path) &&
                    lut.Load(SystemLuts::Plain(), path, false, eAnyDimension, true))
            << file[0];
        float largest = 0;
        for (int r : indices)
            for (int g : indices)
                for (int b : indices) {
                    float expected[3] = {r / 255.0f, g / 255.0f, b / 255.0f};
                    float actual[3] = {expected[0], expected[1], expected[2]};
                    ASSERT_TRUE(transform.Apply(expected, 1));
                    lut.Apply(actual);
                    for (int c = 0; c < 3; ++c)
                        largest = std::max(largest, std::fabs(actual[c] - expected[c]));
                }
        EXPECT_LE(largest, 0.002f) << file[0];
    }
}

// Our readers of .spi1d and .spi3d files take exactly the files that OpenColorIO reads as such,
// to the transform it applies: the same words, numbers and lines taken, passed over or refused.
TEST(ImageworksReaders, ReadWhatOpenColorIoReads) {
    ScratchFolder folder;
    const std::string header = "Version 1\nFrom 0 1\nLength 33\nComponents 3\n{\n";
    const std::string ramp = Lines(false), lattice = Lines(true, true);
    const std::string spi3d = "SPILUT 1.0\n3 3\n33 33 33\n";
    std::string reversed = "spilut\n\n33 33 33\n# nodes in reverse\n";
    for (size_t end = lattice.size() - 1; end != std::string::npos;) {
        const size_t start = lattice.rfind('\n', end - 1) + 1;
        reversed += lattice.substr(start, end + 1 - start) + (start % 7 ? "" : "x\n");
        end = start == 0 ? std::string::npos : start - 1;
    }
    std::string crlf =
        "Length 33\r\n# made elsewhere\r\nComponents 3\r\nFrom -0.5 2\r\nVersion1\r\n{\r\n";
    for (size_t at = 0, next; (next = ramp.find('\n', at)) != std::string::npos; at = next + 1)
        crlf += "  " + ramp.substr(at, next - at) + "\r\n\r\n";
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"plain.spi1d", header + ramp + "}\n", true},
        {"crlf.spi1d", crlf + "  }  \r\n", true},
        {"one.spi1d",
         "Version 1\nFrom 1e-3 0x1p1\nLength 4\nComponents 1\n{\n0\n+.5\n5.\n1.5abc\n}\n", true},
        {"two.spi1d", "Version 1\nLength 2\nComponents 2\n{\n0 1\n2 3\n", true},
        {"two, braced.spi1d", "Version 1\nLength 2\nComponents 2\n{\n0 1\n2 3\n}", true},
        {"version 2.spi1d", "Version 2\nLength 2\nComponents 1\n{\n0\n1\n}\n", false},
        {"no length.spi1d", "Version 1\nComponents 1\n{\n0\n1\n}\n", false},
        {"length 1.spi1d", "Version 1\nLength 1\nComponents 1\n{\n0\n}\n", false},
        {"short.spi1d", header + ramp.substr(0, ramp.size() / 2) + "}\n", false},
        {"long.spi1d", header + ramp + "1 1 1\n}\n", false},
        {"four words.spi1d", "Version 1\nLength 2\nComponents 3\n{\n0 0 0 0\n1 1 1\n}\n", false},
        {"underflow.spi1d", "Version 1\nLength 2\nComponents 1\n{\n1e-50\n1\n}\n", false},
        {"words.spi1d", "Version 1\nLength 2\nComponents 1\n{\nx\n1\n}\n", false},
        {"plain.spi3d", spi3d + lattice, true},
        {"reversed.spi3d", reversed + "garbage after the last node\n", true},
        {"odd indices.spi3d",
         "SPILUT\n\n2 2 2\n0 0 0.5 1 1\n0 0 1 0 0 1\n0 1 0 0 1 0\n0 1 1 0 1 1\n1 0 0 "
         "1 0 0\n1 0 1 1 0 1\n1 1 0 1 1 0\n+1 1 1 1 1 1",
         true},
        {"twice.spi3d", spi3d + lattice.substr(0, lattice.find('\n') + 1) + lattice, false},
        {"missing.spi3d", spi3d + lattice.substr(lattice.find('\n') + 1), false},
        {"outside.spi3d", spi3d + "33 0 0 0 0 0\n" + lattice, false},
        {"bad number.spi3d", spi3d + "0 0 0 1 x 1\n" + lattice, false},
        {"size 130.spi3d", "SPILUT 1.0\n3 3\n130 130 130\n", false},
        {"uneven.spi3d", "SPILUT 1.0\n3 3\n33 33 17\n" + lattice, false},
        {"header.spi3d", "LUT 1.0\n3 3\n33 33 33\n" + lattice, false},
    };
    const float inputs[] = {-1.0f, 0.0f, 0.01f, 0.3f, 0.5f, 0.77f, 1.0f, 1.9f, 3.0f};
    for (const auto& [name, text, readable] : cases) {
        const CVxString path = folder.Write(name, text).c_str();
        OcioFileTransform transform;
        ASSERT_EQ(transform.Open(SystemLuts::Plain().files, path), readable) << name;
        const bool is3D = std::string(name).ends_with("3d");
        CVxLUT lut;
        const EReaderResult result = (is3D ? ReadSpi3dLut : ReadSpi1dLut)(
            lut, reinterpret_cast<const uint8_t*>(text.data()), text.size(), false, eAnyDimension);
        ASSERT_EQ(result, readable ? EReaderResult::eLoaded : EReaderResult::eNotRecognised)
            << name;
        float largest = 0;
        for (size_t i = 0; readable && i < std::size(inputs) * std::size(inputs); ++i) {
            float expected[3] = {inputs[i % 9], inputs[i / 9], inputs[(i * 5 + 2) % 9]};
            float actual[3] = {expected[0], expected[1], expected[2]};
            ASSERT_TRUE(transform.Apply(expected, 1));
            lut.Apply(actual);
            // Within the rounding of the interpolation.
            for (int c = 0; c < 3; ++c)
                largest = std::max(largest, std::fabs(actual[c] - expected[c]) /
                                                std::max(1.0f, std::fabs(expected[c])));
        }
        EXPECT_LE(largest, 1e-6f) << name;
    }
}

// OpenColorIO parses a file once, whatever path reaches it (another letter
// case, a link), until its caches are cleared as the tool does at the start of
// a run: a file rewritten since is then read again.
TEST(OcioReader, AFileIsParsedOncePerRun) {
    ScratchFolder folder;
    const auto matrix = [](float gain) {
        return std::to_string(gain) + " 0 0 0\n0 1 0 0\n0 0 1 0\n";
    };
    const auto collection = [](float gain) {
        return "<ColorCorrectionCollection><ColorCorrection id=\"a\"><SOPNode><Slope>" +
               std::to_string(gain) +
               " 1 1</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power></SOPNode>"
               "</ColorCorrection></ColorCorrectionCollection>\n";
    };
    const struct {
        const char *name, *otherCase, *link;
        std::string (*text)(float);
    } cases[] = {{"gain.spimtx", "GAIN.Spimtx", "link.spimtx", +matrix},
                 {"gain.ccc", "Gain.CCC", "link.ccc", +collection}};
    for (const auto& c : cases) {
        const auto red = [&](const char* name) {
            OcioFileTransform transform;
            float rgb[3] = {0.25f, 0.25f, 0.25f};
            return transform.Open(SystemLuts::Plain().files, PathOf(folder, name)) &&
                           transform.Apply(rgb, 1)
                       ? rgb[0]
                       : -1;
        };
        ClearOcioCaches();
        folder.Write(c.name, c.text(2));
        EXPECT_EQ(red(c.name), 0.5f) << c.name;
        folder.Write(c.name, c.text(3));
        std::filesystem::create_symlink(folder.Posix(c.name), folder.Posix(c.link));
        for (const char* name : {c.name, c.otherCase, c.link})
            EXPECT_EQ(red(name), 0.5f) << name;
        ClearOcioCaches();
        EXPECT_EQ(red(c.link), 0.75f) << c.name;
    }
}

// Writes the LUT in the format that the file's extension names, by the -to
// name of its format (".resolve.cube" for the Resolve form), and opens the file
// through OpenColorIO.
bool WriteAndOpen(const ScratchFolder& scratch, const std::string& file, const LutToWrite& lut,
                  OcioFileTransform& read) {
    const std::string extension = file.substr(file.find('.'));
    const std::pair<const char*, const char*> formats[] = {
        {".cube", "cube"},   {".resolve.cube", "resolve-cube"},
        {".spi3d", "spi3d"}, {".spi1d", "spi1d"},
        {".3dl", "3dl"},     {".csp", "csp"},
        {".cub", "cub"},     {".itx", "itx"},
        {".clf", "clf"},     {".ctf", "ctf"}};
    CVxString bytes;
    StringSink sink(bytes);
    bool written = false;
    for (const auto& [name, to] : formats)
        if (extension == name) {
            const ExportFormat& format = *FindExportFormat(CVxString(to));
            written = format.write(format, lut, sink);
        }
    scratch.Write(file, std::string(bytes.c_str(), bytes.Length()));
    return written && read.Open(SystemLuts::Plain().files, scratch.Drive(file).c_str());
}

// Every written file read back by OpenColorIO gives the lattice at its nodes:
// within 1e-5 for float formats, which keep values outside [0, 1], and within
// one output code of the clamped values for 3DL's 12-bit integers.
TEST(OcioWriter, LatticesReadBackThroughOpenColorIO) {
    ASSERT_TRUE(CanWriteOcioFormats());
    const Sample sample(17);
    const LutToWrite lut = Transform(sample.Table());
    ScratchFolder scratch;
    for (const char* file :
         {"a.cube", "a.spi3d", "a.3dl", "a.csp", "a.cub", "a.itx", "a.clf", "a.ctf"}) {
        const bool integers = std::string(file) == "a.3dl";
        OcioFileTransform read;
        ASSERT_TRUE(WriteAndOpen(scratch, file, lut, read)) << file;
        std::vector<float> nodes(sample.values.size());
        ASSERT_TRUE(read.ApplyToLattice(sample.size, nodes.data())) << file;
        for (size_t i = 0; i < nodes.size(); ++i) {
            const float value = sample.values[i];
            ASSERT_NEAR(nodes[i], integers ? std::clamp(value, 0.0f, 1.0f) : value,
                        integers ? 1.0f / 4095 : 1e-5f)
                << file << " value " << i;
        }
    }
}

// A per-channel table keeps its entries in the 1D formats; the lattice
// formats sample it at the lattice size; a shaper's input range survives
// in the formats that hold one.
TEST(OcioWriter, OneDimensionalAndShapedTablesReadBack) {
    std::vector<float> ramp;
    const uint32_t length = 4096;
    const auto curve = [](float x, int c) { return c == 0 ? x * x : c == 1 ? 1.2f * x - 0.1f : x; };
    for (uint32_t i = 0; i < length; ++i)
        for (int c = 0; c < 3; ++c)
            ramp.push_back(curve(static_cast<float>(i) / (length - 1), c));
    LutToWrite oneD = Transform(Table(ramp, length, false));
    oneD.latticeSize = 33;
    const LutToWrite rangedOneD = Transform(Table(ramp, length, false, -0.5f, 1.5f));
    const Sample sample(9);
    const std::vector<float> linearShaper = {0, 0, 0, 1, 1, 1};
    const LutToWrite shaped =
        Transform(sample.Table(), Table(linearShaper, 2, false, -0.25f, 1.5f));
    const struct {
        const char* file;
        const LutToWrite& lut;
        float low, high; // the input range
        float tolerance;
    } cases[] = {
        {"1d.resolve.cube", rangedOneD, -0.5f, 1.5f, 1e-5f},
        {"1d.spi1d", rangedOneD, -0.5f, 1.5f, 1e-5f},
        {"1d.clf", rangedOneD, -0.5f, 1.5f, 1e-5f},
        {"1d.ctf", oneD, 0.0f, 1.0f, 1e-5f},
        // 33 nodes of a lattice: the straight lines between them stray from the curve.
        {"1d.csp", oneD, 0.0f, 1.0f, 3e-4f},
        {"shaped.resolve.cube", shaped, -0.25f, 1.5f, 1e-5f},
        {"shaped.clf", shaped, -0.25f, 1.5f, 1e-5f},
    };
    ScratchFolder scratch;
    for (const auto& c : cases) {
        OcioFileTransform read;
        ASSERT_TRUE(WriteAndOpen(scratch, c.file, c.lut, read)) << c.file;
        // Nodes of the shaped lattice, between the entries of the 1D tables.
        for (const float x : {0.0f, 0.125f, 0.375f, 0.5f, 0.875f, 1.0f}) {
            const float v = c.low + x * (c.high - c.low);
            float rgb[3] = {v, v, v}, expected[3];
            ASSERT_TRUE(read.Apply(rgb, 1));
            const float node[3] = {x, x, x};
            Sample::Evaluate(node, expected);
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_NEAR(rgb[ch], &c.lut == &shaped ? expected[ch] : curve(x, ch), c.tolerance)
                    << c.file << " at " << v;
        }
    }
}

} // namespace
