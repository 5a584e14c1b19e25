// LUT files in the forms that other tools write, converted to Cubrel LUTs and
// compared with what each file means, computed here: files of our own builders
// (input tables in index units, shapers, input ranges, domains, byte-order
// marks, keywords in lower case) and files baked by OpenColorIO's ociobakelut.

#include "cli_harness.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The colour a file means for one input colour.
using Meaning = std::function<void(const double in[3], double out[3])>;
// R, G, B of each row: a 1D table, or a lattice with red fastest.
using Rows = std::vector<double>;

const std::string kMark = "\xEF\xBB\xBF";
const std::string kUpsampling = "<values><ColorTransforms><AlwaysUpsampleToPoT>\"1\""
                                "</AlwaysUpsampleToPoT></ColorTransforms></values>";

// The largest distance, in 10-bit codes, between the channels of a 17-point
// Cubrel file (big-endian words, blue fastest, red in the high bits) and the
// codes of the meaning at its nodes; 1024 when the file is no such file.
int LargestCodeError(const std::string& file, const Meaning& meaning) {
    const uint32_t n = 17, entries = n * n * n;
    if (file.size() != 1024 + 4 * entries || file.compare(0, 4, "3LUT") != 0)
        return 1024;
    int largest = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t word = 0;
        for (int k = 0; k < 4; ++k)
            word = word << 8 | static_cast<uint8_t>(file[1024 + 4 * i + k]);
        const double in[3] = {(i / (n * n)) / 16.0, (i / n % n) / 16.0, (i % n) / 16.0};
        double out[3];
        meaning(in, out);
        for (int c = 0; c < 3; ++c) {
            const int code = static_cast<int>(word >> (20 - 10 * c) & 1023);
            largest = std::max(
                largest, std::abs(code - static_cast<int>(CubrelCode(static_cast<float>(out[c])))));
        }
    }
    return largest;
}

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

// 3DL: a shaper line of uneven codes v_k = 1023 (k/(points - 1))^1.5, then
// 12-bit outputs, blue fastest. Code v_k is node k: input x is code x * 1023.
Case Mesh(const std::string& name, uint32_t points, const std::string& prefix = "") {
    Rows codes;
    std::string text = prefix;
    for (uint32_t k = 0; k < points; ++k) {
        codes.push_back(std::round(1023 * std::pow(double(k) / (points - 1), 1.5)));
        text += std::to_string(int(codes.back())) + (k + 1 < points ? " " : "\n");
    }
    Rows lattice = GradeRows(points);
    for (double& v : lattice)
        v = std::round(std::clamp(v, 0.0, 1.0) * 4095) / 4095;
    for (uint32_t i = 0; i < points * points * points; ++i) {
        const uint32_t node =
            ((i % points) * points + i / points % points) * points + i / (points * points);
        text += Text({lattice[3 * node], lattice[3 * node + 1], lattice[3 * node + 2]}, 4095,
                     "%.0f %.0f %.0f\n");
    }
    // As a table over the codes: linear between codes, as between the v_k.
    Rows shaper;
    for (int code = 0; code < 1024; ++code) {
        size_t k = 0;
        while (k + 2 < codes.size() && codes[k + 1] <= code)
            ++k;
        const double node = k + std::clamp((code - codes[k]) / (codes[k + 1] - codes[k]), 0.0, 1.0);
        shaper.insert(shaper.end(), 3, node / (points - 1));
    }
    return {name, text, ShaperThenLattice(shaper, 0, 1, lattice, 0, 1), true};
}

// A 3D cube over [low, high], with `before` and `after` the size line.
Case Cube(const std::string& name, double low, double high, const std::string& before,
          const std::string& after = "") {
    const Rows lattice = GradeRows(17, low, high);
    return {name, before + "LUT_3D_SIZE 17\n" + after + Text(lattice),
            ShaperThenLattice({}, 0, 1, lattice, low, high)};
}

Case LowerCase(Case c) {
    std::transform(c.text.begin(), c.text.end(), c.text.begin(),
                   [](char ch) { return static_cast<char>(std::tolower(ch)); });
    return c;
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
        Truelight("tl_index_identity.lut", 17, true, true,
                  "  Resampling LUT...\n" + kResampleWarning + kWritten),
        Truelight("tl_index_shaper.lut", 33, true),
        Mesh("mesh_16.lut", 16),
        Mesh("mesh_17.lut", 17),
        Mesh("mesh_33.lut", 33),
        Mesh("mesh_65.lut", 65),
        Cube("cube_range_before.lut", -0.125, 1.125, "LUT_3D_INPUT_RANGE -0.125 1.125\n"),
        Cube("cube_range_after.lut", -0.125, 1.125, "", "LUT_3D_INPUT_RANGE -0.125 1.125\n"),
        Cube("cube_domain.lut", -0.1, 1.2, "DOMAIN_MIN -0.1 -0.1 -0.1\nDOMAIN_MAX 1.2 1.2 1.2\n"),
        LowerCase(Cube("cube_lower_case.lut", -0.125, 1.125,
                       "TITLE \"x\"\nDOMAIN_MIN -0.125 -0.125 -0.125\n"
                       "DOMAIN_MAX 1.125 1.125 1.125\n")),
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

using LutMeaningTest = CliTest;

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
    const RunResult refused = Run({"s.look", "-cubrel", "-noresampling"});
    EXPECT_EQ(refused.out, kBanner + "\ns.look:\n" + kShaderMissing +
                               "  LUT resampling is disabled; the file was not converted\n");
    EXPECT_EQ(List(), std::vector<std::string>{"s.look"});

    const RunResult result = Run({"s.look", "-cubrel"});
    EXPECT_EQ(result.out, kBanner + "\ns.look:\n" + kShaderMissing +
                              "  Resampling original LUT from the .look file...\n" +
                              kResampleWarning + kWritten);
    EXPECT_LE(
        LargestCodeError(ReadFile("s.lut"), ShaperThenLattice({}, 0, 1, lattice, -0.25, 1.25)), 2);
}

std::string Triple(const double values[3]) {
    return std::to_string(values[0]) + " " + std::to_string(values[1]) + " " +
           std::to_string(values[2]);
}

// Files baked by ociobakelut, an implementation that is not ours, in every
// format it writes that the program reads. At 33 and 65 points the 17 Cubrel
// nodes are nodes of the baked lattice: within one code there as well.
TEST_F(LutMeaningTest, FilesBakedByOpenColorIoConvertToTheirGrade) {
    if (std::system("command -v ociobakelut > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ociobakelut is not installed (Debian package opencolorio-tools)";
    static const double slope[3] = {1.2, 0.9, 1.1}, offset[3] = {0.02, -0.01, 0.03},
                        power[3] = {0.8, 1.1, 1.3};
    // --slope, --offset and --power apply in the order given, without clamping,
    // and a power leaves negative values as they are (as small bakes show:
    // offset -0.2 then power 2 gives -0.2 at 0, 0.09 at 0.5, 0.64 at 1).
    const Meaning cdl = [](const double in[3], double out[3]) {
        for (int c = 0; c < 3; ++c) {
            const double v = in[c] * slope[c] + offset[c];
            out[c] = v > 0 ? std::pow(v, power[c]) : v;
        }
    };
    // resolve_cube writes a 1D table for a grade without saturation; truelight
    // an input table in lattice index units; iridas_itx a cube file.
    std::vector<std::string> names;
    for (const char* format :
         {"flame", "iridas_cube", "iridas_itx", "lustre", "resolve_cube", "truelight"})
        for (const char* size : {"17", "33", "65"}) {
            names.push_back(std::string(format) + "_" + size + ".lut");
            const std::string command = "ociobakelut --slope " + Triple(slope) + " --offset " +
                                        Triple(offset) + " --power " + Triple(power) +
                                        " --format " + format + " --cubesize " + size + " '" +
                                        m_work + "/" + names.back() + "' > /dev/null 2>&1";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
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
        EXPECT_LE(LargestCodeError(ReadFile(name), cdl), 1) << name;
}

} // namespace
