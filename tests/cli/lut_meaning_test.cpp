// LUT files in the forms that other tools write, converted to Cubrel LUTs and
// compared with what each file means, computed here: files of our own builders
// (input tables in index units, shapers, input ranges, domains, byte-order
// marks) and files baked by OpenColorIO's ociobakelut.
// The .lut files of finishing, compositing and 3D tools (Discreet 1D tables,
// Houdini LUTs, 3DL files of 16-bit codes) are compared with OpenColorIO
// applying the same file.

#include "cubrel_codes.h"

#include "lut/ocio_reader.h"

#include "../support/system_luts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

namespace {

// R, G, B of each row: a 1D table, or a lattice with red fastest.
using Rows = std::vector<double>;

const std::string kMark = "\xEF\xBB\xBF";
const std::string kUpsampling = "<values><ColorTransforms><AlwaysUpsampleToPoT>\"1\""
                                "</AlwaysUpsampleToPoT></ColorTransforms></values>";

// Where x lies on `points` entries spanning [low, high], in entry units, clamped.
double Position(double x, double low, double high, size_t points) {
    return std::clamp((x - low) / (high - low), 0.0, 1.0) * double(points - 1);
}

// Channel c of a 1D table read linearly at a position in entry units.
double TableAt(const Rows& table, int c, double position) {
    const size_t i = std::min(static_cast<size_t>(position), table.size() / 3 - 2);
    return table[3 * i + c] + (table[3 * i + 3 + c] - table[3 * i + c]) * (position - i);
}

// An n-point lattice read trilinearly at positions in node units.
void LatticeAt(const Rows& lattice, size_t n, const double position[3], double out[3]) {
    size_t index[3];
    for (int c = 0; c < 3; ++c)
        index[c] = std::min(static_cast<size_t>(position[c]), n - 2);
    std::fill(out, out + 3, 0.0);
    for (int corner = 0; corner < 8; ++corner) {
        double weight = 1;
        for (int c = 0; c < 3; ++c) {
            const double fraction = position[c] - index[c];
            weight *= corner >> c & 1 ? fraction : 1 - fraction;
        }
        const size_t node = ((index[2] + (corner >> 2)) * n + index[1] + (corner >> 1 & 1)) * n +
                            index[0] + (corner & 1);
        for (int c = 0; c < 3; ++c)
            out[c] += weight * lattice[3 * node + c];
    }
}

// A 1D table over [low1, high1] (none when empty), then an n-point lattice over
// [low3, high3]: what cube, Truelight and 3DL files mean.
Meaning ShaperThenLattice(Rows shaper, double low1, double high1, Rows lattice, double low3,
                          double high3) {
    const size_t n = static_cast<size_t>(std::lround(std::cbrt(lattice.size() / 3)));
    return [=](const double in[3], double out[3]) {
        double position[3];
        for (int c = 0; c < 3; ++c) {
            const double y =
                shaper.empty()
                    ? in[c]
                    : TableAt(shaper, c, Position(in[c], low1, high1, shaper.size() / 3));
            position[c] = Position(y, low3, high3, n);
        }
        LatticeAt(lattice, n, position, out);
    };
}

// A smooth grade that mixes the channels a little, at the nodes of an n-point
// lattice spanning [low, high].
Rows GradeRows(uint32_t n, double low = 0, double high = 1) {
    Rows rows;
    for (uint32_t i = 0; i < n * n * n; ++i) {
        double in[3];
        for (int c = 0; c < 3; ++c)
            in[c] = low + (high - low) *
                              (c == 0   ? i % n
                               : c == 1 ? i / n % n
                                        : i / (n * n)) /
                              (n - 1);
        rows.insert(rows.end(), {0.05 + 0.75 * in[0] + 0.1 * in[1] * in[2],
                                 0.08 + 0.7 * in[1] + 0.15 * in[0] * in[0],
                                 0.06 + 0.8 * in[2] - 0.05 * in[0] * in[1]});
    }
    return rows;
}

// Shaper curves from [0, 1] onto [low, high], a different bend per channel, at
// `length` evenly spaced inputs.
Rows ShaperRows(uint32_t length, double low = 0, double high = 1) {
    Rows rows;
    for (uint32_t i = 0; i < length; ++i)
        for (int c = 0; c < 3; ++c) {
            const double x = double(i) / (length - 1), bend = 0.3 + 0.2 * c;
            rows.push_back(low + (high - low) * ((1 - bend) * x + bend * x * x));
        }
    return rows;
}

std::string Text(const Rows& rows, double scale = 1, const char* format = "%.6f %.6f %.6f\n") {
    std::string text;
    char line[96];
    for (size_t i = 0; i < rows.size(); i += 3) {
        std::snprintf(line, sizeof line, format, rows[i] * scale, rows[i + 1] * scale,
                      rows[i + 2] * scale);
        text += line;
    }
    return text;
}

struct Case {
    std::string name;
    std::string text;
    Meaning meaning;
    // Read at another size when the upsampling setting is on.
    bool upsampledBySetting = false;
    // What the run prints for the file when the upsampling setting is on.
    std::string upsampledOutput = kWritten;
    // A line that the run prints for the file before the result.
    std::string notice = "";
};

// Truelight: an input table of 64 entries (in lattice index units when
// `indexUnits`; an identity when `identity`), then the lattice.
Case Truelight(const std::string& name, uint32_t width, bool indexUnits, bool identity = false,
               const std::string& upsampledOutput = kWritten) {
    const Rows lattice = GradeRows(width), table = ShaperRows(64, 0, identity ? 0 : 1);
    const std::string w = std::to_string(width);
    std::string text = "# Truelight Cube v2.0\n# lutLength 64\n# iDims 3\n# oDims 3\n# width " + w +
                       " " + w + " " + w + "\n\n# InputLUT\n";
    const double scale = indexUnits ? width - 1 : 1;
    for (uint32_t i = 0; i < 64 && identity; ++i)
        text += Text({i / 63.0, i / 63.0, i / 63.0}, scale);
    text += (identity ? "" : Text(table, scale)) + "\n# Cube\n" + Text(lattice) + "# end\n";
    return {name, text, ShaperThenLattice(identity ? Rows{} : table, 0, 1, lattice, 0, 1), true,
            upsampledOutput};
}

// 3DL: a shaper line of codes v_k = top (k/(points - 1))^bend, then outputs up
// to outTop, blue fastest. Code v_k is node k: input x is code x * top.
Case Mesh(const std::string& name, uint32_t points, const std::string& prefix = "", int top = 1023,
          int outTop = 4095, double bend = 1.5) {
    Rows codes;
    std::string text = prefix;
    for (uint32_t k = 0; k < points; ++k) {
        codes.push_back(std::round(top * std::pow(double(k) / (points - 1), bend)));
        text += std::to_string(int(codes.back())) + (k + 1 < points ? " " : "\n");
    }
    Rows lattice = GradeRows(points);
    for (double& v : lattice)
        v = std::round(std::clamp(v, 0.0, 1.0) * outTop) / outTop;
    for (uint32_t i = 0; i < points * points * points; ++i) {
        const uint32_t node =
            ((i % points) * points + i / points % points) * points + i / (points * points);
        text += Text({lattice[3 * node], lattice[3 * node + 1], lattice[3 * node + 2]}, outTop,
                     "%.0f %.0f %.0f\n");
    }
    // As a table over the codes: linear between codes, as between the v_k.
    Rows shaper;
    for (int code = 0; code <= top; ++code) {
        size_t k = 0;
        while (k + 2 < codes.size() && codes[k + 1] <= code)
            ++k;
        const double node = k + std::clamp((code - codes[k]) / (codes[k + 1] - codes[k]), 0.0, 1.0);
        shaper.insert(shaper.end(), 3, node / (points - 1));
    }
    return {name, text, ShaperThenLattice(shaper, 0, 1, lattice, 0, 1), true};
}

// A 3D cube over [low, high], with `before` the size line.
Case Cube(const std::string& name, double low, double high, const std::string& before) {
    const Rows lattice = GradeRows(17, low, high);
    return {name, before + "LUT_3D_SIZE 17\n" + Text(lattice),
            ShaperThenLattice({}, 0, 1, lattice, low, high)};
}

std::vector<Case> Cases() {
    const Rows shaper = ShaperRows(32, -0.1, 1.2), lattice = GradeRows(9, -0.1, 1.2),
               oneD = ShaperRows(32);
    return {
        Truelight("tl_16.lut", 16, false),
        Truelight("tl_17.lut", 17, false),
        Truelight("tl_33.lut", 33, false),
        Truelight("tl_65.lut", 65, false),
        // A plain lattice: the setting makes it 32 points, the run resamples it to 17.
        Truelight("tl_index_identity.lut", 17, true, true, kResampling + kWritten),
        Truelight("tl_index_shaper.lut", 33, true),
        Mesh("mesh_16.lut", 16),
        Mesh("mesh_17.lut", 17),
        Mesh("mesh_33.lut", 33),
        Mesh("mesh_65.lut", 65),
        Mesh("mesh_16_bit_codes.lut", 17, "", 65535),
        Cube("cube_range.lut", -0.125, 1.125, "LUT_3D_INPUT_RANGE -0.125 1.125\n"),
        Cube("cube_domain.lut", -0.1, 1.2, "DOMAIN_MIN -0.1 -0.1 -0.1\nDOMAIN_MAX 1.2 1.2 1.2\n"),
        {"cube_shaper.lut",
         "LUT_1D_SIZE 32\nLUT_1D_INPUT_RANGE 0 1\nLUT_3D_SIZE 9\nLUT_3D_INPUT_RANGE -0.1 1.2\n" +
             Text(shaper) + Text(lattice),
         ShaperThenLattice(shaper, 0, 1, lattice, -0.1, 1.2)},
        {"cube_1d_range.lut", "LUT_1D_SIZE 32\nLUT_1D_INPUT_RANGE 0 2\n" + Text(oneD),
         [oneD](const double in[3], double out[3]) {
             for (int c = 0; c < 3; ++c)
                 out[c] = TableAt(oneD, c, Position(in[c], 0, 2, 32));
         }},
        Cube("mark_cube.lut", 0, 1, kMark),
        Mesh("mark_mesh.lut", 9, kMark),
        {"mark_curves.lut", kMark + "BypassLUT = 1\n",
         [](const double in[3], double out[3]) { std::copy(in, in + 3, out); }},
    };
}

const double kSlope[3] = {1.2, 0.9, 1.1}, kOffset[3] = {0.02, -0.01, 0.03},
             kPower[3] = {0.8, 1.1, 1.3};

// ociobakelut's --slope, --offset and --power apply in the order given, without
// clamping, and a power leaves negative values as they are (as small bakes
// show: offset -0.2 then power 2 gives -0.2 at 0, 0.09 at 0.5, 0.64 at 1).
void BakedCdl(const double in[3], double out[3]) {
    for (int c = 0; c < 3; ++c) {
        const double v = in[c] * kSlope[c] + kOffset[c];
        out[c] = v > 0 ? std::pow(v, kPower[c]) : v;
    }
}

// The same slope, offset and power as an ASC CDL file applies them, clamped to
// 0..1, then the saturation around Rec. 709 luma, clamped again.
Meaning FileCdl(double saturation) {
    return [saturation](const double in[3], double out[3]) {
        for (int c = 0; c < 3; ++c)
            out[c] = std::pow(std::clamp(in[c] * kSlope[c] + kOffset[c], 0.0, 1.0), kPower[c]);
        const double luma = 0.2126 * out[0] + 0.7152 * out[1] + 0.0722 * out[2];
        for (int c = 0; c < 3; ++c)
            out[c] = std::clamp(luma + saturation * (out[c] - luma), 0.0, 1.0);
    };
}

std::string Triple(const double values[3]) {
    return std::to_string(values[0]) + " " + std::to_string(values[1]) + " " +
           std::to_string(values[2]);
}

class LutMeaningTest : public CliTest {
protected:
    // Bakes the CDL of BakedCdl into a file of the working folder.
    bool Bake(const char* format, const char* size, const std::string& name) const {
        const std::string command = "ociobakelut --slope " + Triple(kSlope) + " --offset " +
                                    Triple(kOffset) + " --power " + Triple(kPower) + " --format " +
                                    format + " --cubesize " + size + " '" + m_work + "/" + name +
                                    "' > /dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }
    // A broken file's name, and the cause -v gives for it (none for OpenColorIO's
    // formats, whose reasons are its own).
    struct Broken {
        std::string name;
        std::string cause = {};
    };
    void ConvertInBothModes(std::vector<Case> cases, const std::string& size,
                            const std::vector<Broken>& broken);
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

// Each file converts to what it means, with the upsampling setting off and on:
// within one code at the Cubrel nodes, two where a lattice was resampled.
TEST_F(LutMeaningTest, FilesOfOtherToolsConvertToWhatTheyMean) {
    std::vector<Case> cases = Cases();
    std::sort(cases.begin(), cases.end(),
              [](const Case& a, const Case& b) { return a.name < b.name; });
    for (const bool upsampling : {false, true}) {
        m_scratch.Write("settings/Utility_Settings.xml",
                        upsampling ? kUpsampling : "<values></values>");
        std::string expected = kBanner;
        for (const Case& c : cases) {
            WriteFile(c.name, c.text);
            expected += "\n" + c.name + ":\n" + (upsampling ? c.upsampledOutput : kWritten);
        }
        EXPECT_EQ(Run({"*.lut", "-cubrel"}).out, expected) << upsampling;
        for (const Case& c : cases) {
            const bool resampled = upsampling && c.upsampledBySetting;
            EXPECT_LE(LargestCodeError(ReadFile(c.name), c.meaning), resampled ? 2 : 1)
                << c.name << (upsampling ? ", upsampled" : "");
        }
    }
}

// A look's stored lattice over another domain than [0, 1] is resampled onto it.
TEST_F(LutMeaningTest, AStoredLutOverAnotherDomainIsResampledOntoTheUnitDomain) {
    const Rows lattice = GradeRows(17, -0.25, 1.25);
    std::string element = LutElement("LUT", 17, std::vector<float>(lattice.begin(), lattice.end()));
    element.insert(element.find("<data>"), "<domainmin>\"-0.25\"</domainmin>\n    "
                                           "<domainmax>\"1.25\"</domainmax>\n    ");
    WriteFile("s.look", "<?xml version=\"1.0\" ?>\n" + UnknownShaderLook(element));
    const RunResult result = Run({"s.look", "-cubrel"});
    EXPECT_EQ(result.out, kBanner + "\ns.look:\n" + kShaderMissing + kResamplingStored +
                              kResampleWarning + kWritten);
    EXPECT_LE(
        LargestCodeError(ReadFile("s.lut"), ShaperThenLattice({}, 0, 1, lattice, -0.25, 1.25)), 2);
}

// Files baked by ociobakelut, an implementation that is not ours, in every
// format it writes that the program reads. At 33 and 65 points the 17 Cubrel
// nodes are nodes of the baked lattice: within one code there as well.
TEST_F(LutMeaningTest, FilesBakedByOpenColorIoConvertToTheirGrade) {
    if (!HasProgram("ociobakelut"))
        GTEST_SKIP() << "ociobakelut is not installed (Debian package opencolorio-tools)";
    // resolve_cube writes a 1D table for a grade without saturation; truelight
    // an input table in lattice index units; iridas_itx a cube file.
    std::vector<std::string> names;
    for (const char* format :
         {"flame", "iridas_cube", "iridas_itx", "lustre", "resolve_cube", "truelight"})
        for (const char* size : {"17", "33", "65"}) {
            names.push_back(std::string(format) + "_" + size + ".lut");
            ASSERT_TRUE(Bake(format, size, names.back()));
        }
    std::string expected = kBanner;
    for (const std::string& name : names) {
        expected += "\n" + name + ":\n";
        // Lattices of 33 and 65 points are resampled; a 1D table is rendered at any size.
        if (name.find("_17") == std::string::npos && name.find("resolve") == std::string::npos)
            expected += "  Resampling LUT...\n" + (name == "flame_33.lut" ? kResampleWarning : "");
        expected += kWritten;
    }
    EXPECT_EQ(Run({"*.lut", "-cubrel"}).out, expected);
    for (const std::string& name : names)
        EXPECT_LE(LargestCodeError(ReadFile(name), BakedCdl), 1) << name;
}

// Files under LUT extensions of other tools, all in one folder under distinct
// names. A wildcard converts each in Cubrel mode into NAME.lut beside it; each,
// named alone, is wrapped into NAME.look in rebuild mode, and that look renders
// in Cubrel mode. Both Cubrel files are what the file means (one code at the
// nodes, two through a look), the source is kept, and a directory takes none
// of them. Broken files of the `broken` extensions give the messages of an
// unloadable .lut in both modes, say why with -v, and leave nothing behind.
void LutMeaningTest::ConvertInBothModes(std::vector<Case> cases, const std::string& size,
                                        const std::vector<Broken>& broken) {
    std::sort(cases.begin(), cases.end(),
              [](const Case& a, const Case& b) { return a.name < b.name; });
    const auto base = [](const Case& c) { return c.name.substr(0, c.name.find('.')); };
    std::string converted = kBanner, rendered = kBanner;
    std::vector<std::string> files;
    for (const Case& c : cases) {
        WriteFile(c.name, c.text);
        converted += "\n" + c.name + ":\n" + c.notice + kWritten;
        rendered += "\n" + base(c) + ".look:\n" + kWritten;
        files.insert(files.end(), {c.name, base(c) + ".look", base(c) + ".lut"});
    }
    EXPECT_EQ(Run({m_work, "-cubrel"}).out, kBanner + "No input files found.\n\n");
    EXPECT_EQ(Run({"*", "-cubrel", "-size", size}).out, converted);
    for (const Case& c : cases) {
        EXPECT_LE(LargestCodeError(ReadFile(base(c) + ".lut"), c.meaning, std::stoi(size)), 1)
            << c.name;
        std::filesystem::remove(m_scratch.Posix("work/" + base(c) + ".lut"));
        const RunResult wrapped = Run({c.name, "-size", "8"});
        EXPECT_EQ(wrapped.out, kBanner + "\n" + c.name + ":\n" + c.notice + kUpdated);
        EXPECT_NE(ReadFile(base(c) + ".look").find(Parameter("BaseLUT", c.name)),
                  std::string::npos);
    }
    EXPECT_EQ(Run({"*.look", "-cubrel", "-size", size}).out, rendered);
    for (const Case& c : cases) {
        EXPECT_LE(LargestCodeError(ReadFile(base(c) + ".lut"), c.meaning, std::stoi(size)), 2)
            << c.name;
        EXPECT_EQ(ReadFile(c.name), c.text);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(List(), files);

    for (const auto& [name, cause] : broken) {
        ClearWork();
        WriteFile(name, kUnloadable);
        const std::string header = "\n" + name + ":\n";
        EXPECT_EQ(Run({"*", "-cubrel"}).out,
                  kBanner + header + "  Error loading LUT\n" + kLutMissing + kCannotConvert);
        if (!cause.empty()) {
            EXPECT_EQ(Run({"*", "-cubrel", "-v"}).err, "gradeshift: " + name + ": " + cause + "\n");
        }
        EXPECT_EQ(Run({"*"}).out, kBanner + header + kNotRendered);
        EXPECT_EQ(List(), std::vector<std::string>{name});
    }
}

TEST_F(LutMeaningTest, LutFilesOfOtherExtensionsConvertBesideThemselves) {
    std::vector<Case> cases = {Cube("cube.cube", 0, 1, ""),
                               Cube("itx.ITX", -0.125, 1.125, "LUT_3D_INPUT_RANGE -0.125 1.125\n"),
                               Mesh("mesh.3DL", 17), Truelight("truelight.cub", 17, true)};
    ConvertInBothModes(cases, "17",
                       {{"bad.cube", "not a valid cube file"},
                        {"bad.3dl", "not a valid 3DL mesh file"},
                        {"bad.Cub", "not a valid Truelight file"},
                        {"bad.itx", "not a valid itx file"}});
}

// The slope, offset and power of the test CDL, and a saturation.
std::string CdlNodes(double saturation) {
    return "<SOPNode><Slope>" + Triple(kSlope) + "</Slope><Offset>" + Triple(kOffset) +
           "</Offset><Power>" + Triple(kPower) + "</Power></SOPNode>\n<SatNode><Saturation>" +
           std::to_string(saturation) + "</Saturation></SatNode>\n";
}

std::string Correction(const char* id, double saturation) {
    return "<ColorCorrection id=\"" + std::string(id) + "\">\n" + CdlNodes(saturation) +
           "</ColorCorrection>\n";
}

// Row i of a 17-point lattice (red fastest) in a file whose rows run blue fastest.
Rows BlueFastestRow(const Rows& lattice, uint32_t i) {
    const uint32_t node = (i % 17 * 17 + i / 17 % 17) * 17 + i / 289;
    return {lattice[3 * node], lattice[3 * node + 1], lattice[3 * node + 2]};
}

// A process list: the CDL with saturation 0.9, then a 17-point 3D LUT (blue fastest).
std::string ProcessList(const std::string& version, const Rows& lattice) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ProcessList " + version +
                       " id=\"t\">\n<ASC_CDL inBitDepth=\"32f\" outBitDepth=\"32f\" "
                       "style=\"Fwd\">\n" +
                       CdlNodes(0.9) +
                       "</ASC_CDL>\n"
                       "<LUT3D inBitDepth=\"32f\" "
                       "outBitDepth=\"32f\" interpolation=\"trilinear\">\n"
                       "<Array dim=\"17 17 17 3\">\n";
    for (uint32_t i = 0; i < 17 * 17 * 17; ++i)
        text += Text(BlueFastestRow(lattice, i));
    return text + "</Array>\n</LUT3D>\n</ProcessList>\n";
}

TEST_F(LutMeaningTest, FilesReadThroughOpenColorIoConvertBesideThemselves) {
    if (!GRADESHIFT_WITH_OCIO)
        GTEST_SKIP() << "built without OpenColorIO (-DGRADESHIFT_OCIO=OFF)";
    const Rows lattice = GradeRows(17), oneD = ShaperRows(32);
    const Meaning graded = ShaperThenLattice({}, 0, 1, lattice, 0, 1);
    const Meaning cdl = FileCdl(0.9);
    std::string spi1d =
        "Version 1\nFrom 0.0 1.0\nLength 32\nComponents 3\n{\n" + Text(oneD) + "}\n";
    // Read by our own reader at the size it is converted to, as a cube file would be.
    const Rows lattice33 = GradeRows(33);
    std::string spi3d = "SPILUT 1.0\n3 3\n33 33 33\n";
    for (uint32_t i = 0; i < 33 * 33 * 33; ++i)
        spi3d += std::to_string(i % 33) + " " + std::to_string(i / 33 % 33) + " " +
                 std::to_string(i / 1089) + " " +
                 Text({lattice33[3 * i], lattice33[3 * i + 1], lattice33[3 * i + 2]});
    std::vector<Case> cases = {
        {"cc.cc", Correction("shot_a", 0.9), cdl},
        {"ccc.ccc",
         "<ColorCorrectionCollection xmlns=\"urn:ASC:CDL:v1.01\">\n" + Correction("shot_a", 0.9) +
             Correction("shot_b", 0.5) + "</ColorCorrectionCollection>\n",
         cdl, false, kWritten,
         "  Notice: ccc.ccc holds 2 corrections; the first (shot_a) is converted\n"},
        {"cdl.CDL",
         "<ColorDecisionList xmlns=\"urn:ASC:CDL:v1.01\">\n<ColorDecision>\n" +
             Correction("shot_a", 0.9) + "</ColorDecision>\n</ColorDecisionList>\n",
         cdl},
        {"clf.clf", ProcessList("compCLFversion=\"3\"", lattice),
         [=](const double in[3], double out[3]) {
             double mid[3];
             cdl(in, mid);
             graded(mid, out);
         }},
        {"spi1d.spi1d", spi1d,
         [oneD](const double in[3], double out[3]) {
             for (int c = 0; c < 3; ++c)
                 out[c] = TableAt(oneD, c, Position(in[c], 0, 1, 32));
         }},
        {"spi3d.spi3d", spi3d, ShaperThenLattice({}, 0, 1, lattice33, 0, 1)},
        {"spimtx.spimtx", "0.8 0.1 0.05 1310.7\n0.05 0.85 0.05 0\n0.1 0 0.75 3276.75\n",
         [](const double in[3], double out[3]) {
             out[0] = 0.8 * in[0] + 0.1 * in[1] + 0.05 * in[2] + 0.02;
             out[1] = 0.05 * in[0] + 0.85 * in[1] + 0.05 * in[2];
             out[2] = 0.1 * in[0] + 0.75 * in[2] + 0.05;
         }},
    };
    cases.push_back(cases[3]);
    cases.back().name = "ctf.ctf";
    cases.back().text = ProcessList("version=\"1.7\"", lattice);
    // Pandora files hold 12-bit codes, blue fastest.
    Rows codes = lattice;
    std::string pandora = "channel 3d\nin 4913\nout 4096\nformat lut\nvalues red green blue\n";
    for (double& v : codes)
        v = std::round(v * 4095) / 4095;
    for (uint32_t i = 0; i < 17 * 17 * 17; ++i)
        pandora +=
            std::to_string(i) + " " + Text(BlueFastestRow(codes, i), 4095, "%.0f %.0f %.0f\n");
    const Meaning coded = ShaperThenLattice({}, 0, 1, codes, 0, 1);
    cases.insert(cases.end(), {{"mga.mga", pandora, coded}, {"m3d.M3D", pandora, coded}});
    if (HasProgram("ociobakelut")) {
        ASSERT_TRUE(Bake("cinespace", "33", "csp.csp"));
        cases.push_back({"csp.csp", ReadFile("csp.csp"), BakedCdl});
    }
    ConvertInBothModes(cases, "33",
                       {{"bad.clf"},
                        {"bad.ctf"},
                        {"bad.cc"},
                        {"bad.cdl"},
                        {"bad.ccc"},
                        {"bad.csp"},
                        {"bad.spi1d", "not a valid Imageworks 1D file"},
                        {"bad.spi3d", "not a valid Imageworks 3D file"},
                        {"bad.spimtx"},
                        {"bad.mga"},
                        {"bad.m3d"},
                        {"bad.vf"}});
}

// OpenColorIO is loaded from its module only when a file needs it (the dynamic
// loader names every library it loads); without the module, the formats of
// OpenColorIO are refused with the cause and the others convert.
TEST_F(LutMeaningTest, OpenColorIoFormatsNeedItsModule) {
#ifndef GRADESHIFT_OCIO_MODULE_FILE
    GTEST_SKIP() << "this build links OpenColorIO in, or has none";
#endif
    WriteFile("id.cube", kCube2);
    WriteFile("grade.cc", Correction("shot_a", 0.9));
    const ChildSetup loaderSays{.environment = {{"LD_DEBUG", "files"}}};
    const auto loadsOcio = [&](const std::vector<std::string>& args) {
        return Run(args, loaderSays).err.find("libOpenColorIO") != std::string::npos;
    };
    EXPECT_FALSE(loadsOcio({"--version"}));
    EXPECT_FALSE(loadsOcio({"id.cube", "-cubrel"}));
    EXPECT_TRUE(loadsOcio({"grade.cc", "-cubrel"}));
    ClearWork();
    std::filesystem::remove_all(m_root + "/lib");
    WriteFile("grade.cc", Correction("shot_a", 0.9));
    WriteFile("id.cube", kCube2);
    const std::string refused =
        "  Not converted: OpenColorIO cannot be loaded: " +
        std::filesystem::canonical(m_root).string() +
        "/lib/gradeshift/libgradeshift_ocio.so: cannot open shared object file: No such file or "
        "directory\n";
    EXPECT_EQ(Run({"grade.cc", "id.cube", "-cubrel"}).out, kBanner + "\ngrade.cc:\n" + refused +
                                                               "\nid.cube:\n  Resampling LUT...\n" +
                                                               kResampleWarning + kWritten);
    EXPECT_EQ(Run({"id.cube", "-to", "3dl"}).out, kBanner + "\nid.cube:\n" + refused);
    EXPECT_EQ(Run({"id.cube", "-to", "cube"}).exitCode, 0);
    EXPECT_EQ(List(), (std::vector<std::string>{"grade.cc", "id.cube", "id.lut"}));
}

// OpenColorIO's variables change nothing: with them set, in both modes and
// with files converted at once, a run prints and writes what it does without.
TEST_F(LutMeaningTest, OpenColorIoVariablesChangeNothing) {
    if (!GRADESHIFT_WITH_OCIO)
        GTEST_SKIP() << "built without OpenColorIO (-DGRADESHIFT_OCIO=OFF)";
    const ChildSetup variables{.environment = {{"OCIO_OPTIMIZATION_FLAGS", "bogus"},
                                               {"OCIO_LOGGING_LEVEL", "debug"},
                                               {"OCIO", "/nonexistent"}}};
    const std::string notice = "  Notice: grades.ccc holds 2 corrections; the first (shot_a) is "
                               "converted\n";
    for (const auto& [line, written] :
         {std::pair{"*.c* -cubrel -size 33", kWritten}, {"*.c* -size 16", kUpdated}}) {
        std::map<std::string, std::string> files[2];
        for (const bool set : {false, true}) {
            ClearWork();
            WriteFile("grade.clf", ProcessList("compCLFversion=\"3\"", GradeRows(17)));
            WriteFile("grades.ccc", "<ColorCorrectionCollection>\n" + Correction("shot_a", 0.9) +
                                        Correction("shot_b", 0.5) +
                                        "</ColorCorrectionCollection>\n");
            const RunResult result = Run(Words(line), set ? variables : ChildSetup{});
            EXPECT_EQ(result.out,
                      kBanner + "\ngrade.clf:\n" + written + "\ngrades.ccc:\n" + notice + written)
                << line << set;
            EXPECT_EQ(result.err, "") << line << set;
            files[set] = Files();
        }
        EXPECT_EQ(files[0].size(), 4u) << line;
        EXPECT_TRUE(files[1] == files[0]) << line;
    }
}

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

// Every form within one code of OpenColorIO at the 33 Cubrel nodes, and within
// 1/1023 at the 32 nodes of a rebuilt look's lattice.
TEST_F(LutMeaningTest, FilesOfOtherToolsConvertAsOpenColorIoReadsThem) {
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
        // Evenly spaced shaper codes, which OpenColorIO reads as the program does.
        {"mesh_16.lut", Mesh("", 33, "", 65535, 65535, 1).text},
        {"mesh_16_header.lut", Mesh("", 33, "3DMESH\nMesh 5 16\n", 65535, 65535, 1).text},
    };
    const bool baking = HasProgram("ociobakelut");
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

// -to cube evaluates a LUT file at the nodes of the new lattice as tools apply
// it (linear in tables, trilinear in lattices): within one 10-bit code of
// what the file means at every size, inside the range of a lattice's values
// (no overshoot), over the file's own input range, and the file's own values
// at its own size.
TEST_F(LutMeaningTest, ResizedLutFilesMeanTheirSource) {
    std::vector<Case> cases = Cases();
    cases.erase(std::remove_if(cases.begin(), cases.end(),
                               [](const Case& c) { return c.name == "mark_curves.lut"; }),
                cases.end());
    for (const Case& c : cases)
        WriteFile(c.name, c.text);
    for (const uint32_t n : {2u, 9u, 33u}) {
        const std::string out = "out" + std::to_string(n);
        MakeFolder(out);
        ASSERT_EQ(Run({"*.lut", "-to", "cube", "-size", std::to_string(n), "-out", out}).exitCode,
                  0);
        for (const Case& c : cases) {
            const std::string name = c.name.substr(0, c.name.size() - 4);
            const CubeTable cube = ReadCubeTable(ReadFile(out + "/" + name + ".cube"));
            ASSERT_EQ(cube.size, n) << c.name;
            ASSERT_EQ(cube.rows.size(), size_t(3) * n * n * n) << c.name;
            double largest = 0, lowest = 1, highest = 0;
            for (uint32_t i = 0; i < n * n * n; ++i) {
                const uint32_t node[3] = {i % n, i / n % n, i / (n * n)};
                double in[3], want[3];
                for (int ch = 0; ch < 3; ++ch)
                    in[ch] = cube.low + (cube.high - cube.low) * node[ch] / (n - 1);
                c.meaning(in, want);
                for (int ch = 0; ch < 3; ++ch) {
                    const double value = cube.rows[3 * i + ch];
                    largest = std::max(largest, std::fabs(value - want[ch]) * 1023);
                    lowest = std::min(lowest, value);
                    highest = std::max(highest, value);
                }
            }
            EXPECT_LE(largest, 1.0) << c.name << " at " << n;
            if (c.name.starts_with("mesh")) {
                EXPECT_GE(lowest, 0) << c.name;
                EXPECT_LE(highest, 1) << c.name;
            }
        }
    }
    EXPECT_EQ(ReadCubeTable(ReadFile("out9/cube_domain.cube")).low, -0.1);
    ASSERT_EQ(Run({"mark_cube.lut", "-to", "cube", "-size", "17"}).exitCode, 0);
    const std::string source = ReadFile("mark_cube.lut"), written = ReadFile("mark_cube.cube");
    EXPECT_EQ(written.substr(written.find("LUT_3D_SIZE")), source.substr(source.find("LUT_3D")));
}

} // namespace
