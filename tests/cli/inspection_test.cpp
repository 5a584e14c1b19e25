#include "cli_harness.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A 17-point cube of a smooth grade; with `bumps`, a 65-point cube equal to it
// at the nodes of 17 points and different between them.
std::string Grade(uint32_t n, bool bumps) {
    std::string text = "LUT_3D_SIZE " + std::to_string(n) + "\n";
    char line[96];
    for (uint32_t i = 0; i < n * n * n; ++i) {
        const uint32_t node[3] = {i % n, i / n % n, i / (n * n)};
        double rgb[3];
        for (int c = 0; c < 3; ++c) {
            const double x = double(node[c]) / (n - 1);
            const bool between = bumps && node[c] % 4 != 0;
            rgb[c] = 0.1 + 0.8 * x + (between ? 0.02 : 0.0);
        }
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", rgb[0], rgb[1], rgb[2]);
        text += line;
    }
    return text;
}

class InspectionTest : public CliTest {
protected:
    // Runs jq over the output with the filter (over all lines as one array
    // with `slurp`); true when it says true.
    bool JqSays(const std::string& json, const std::string& filter, bool slurp = false) const {
        WriteFile("out.json", json);
        const std::string command = std::string("jq -e ") + (slurp ? "-s '" : "'") + filter +
                                    "' '" + m_work + "/out.json' > /dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }
};

const std::string kBrokenLook =
    "not a valid look: Unexpected end of file while looking for '<', Line: 1 Column: 6";

// -compare evaluates both files at the nodes and the cell centres: a file
// against itself is equal everywhere, two lattices that differ only between
// the nodes of 17 points differ at the centres, and the exit code gives the
// verdict (1 for a file that cannot be evaluated or a bad argument, saying why).
TEST_F(InspectionTest, CompareGivesFiguresAndAVerdict) {
    if (!HasProgram("jq"))
        GTEST_SKIP() << "jq is not installed (Debian package jq)";
    WriteFile("a.cube", Grade(17, false));
    WriteFile("b.cube", Grade(65, true));
    WriteFile("look.look", BaseLook(Parameter("Gain.X", "0.15") + Parameter("Saturation", "0.6")));
    WriteFile("empty.cube", "");
    WriteFile("broken.look", "<look>");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string filter; // on the JSON line
        std::string err;
    } cases[] = {
        {{"-compare", "a.cube", "a.cube", "-json"},
         0,
         ".colours.all == 68705 and .codes.all.rgb.max == 0 and .delta_e00.all.max == 0 and "
         ".within_tolerance",
         ""},
        {{"--compare", "a.cube", "b.cube", "--json", "-size", "17"},
         2,
         ".codes.nodes.rgb.max < 0.001 and .codes.centres.rgb.max > 19 and .size == 17 and "
         "(.worst | length) == 5",
         ""},
        {{"-compare", "a.cube", "b.cube", "-json", "-size", "17", "-tolerance", "25"},
         0,
         ".tolerance == 25 and .within_tolerance",
         ""},
        {{"-compare", "a.cube", "b.cube", "-json", "-size", "17", "-tolerance", "25",
          "-tolerance-de", "0.01"},
         2,
         ".tolerance_delta_e00 == 0.01 and (.within_tolerance | not)",
         ""},
        {{"-compare", "look.look", "a.cube", "-json", "-size", "9"},
         2,
         ".a == \"look.look\" and .codes.all.rgb.max > 10",
         ""},
    };
    for (const auto& c : cases) {
        const RunResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args[2];
        EXPECT_EQ(result.err, c.err) << c.args[2];
        EXPECT_TRUE(JqSays(result.out, c.filter)) << c.filter << "\n" << result.out;
    }
    // A look and the cube written of it at the same size agree at the nodes.
    ASSERT_EQ(Run({"look.look", "-to", "cube", "-size", "9"}).exitCode, 0);
    const std::string own = Run({"-compare", "look.look", "look.cube", "-json", "-size", "9"}).out;
    EXPECT_TRUE(JqSays(own, ".codes.nodes.rgb.max <= 1")) << own;
    const RunResult text = Run({"-compare", "a.cube", "a.cube", "-size", "2"});
    EXPECT_EQ(text.out.substr(0, 73),
              "a: a.cube\nb: a.cube\ncolours: 9 (lattice size 2: 8 nodes, 1 cell centres)\n");
    EXPECT_NE(text.out.find("verdict: within tolerance"), std::string::npos);
    const struct {
        std::vector<std::string> args;
        std::string err;
    } failures[] = {
        {{"-compare", "a.cube", "gone.cube"}, "gradeshift: gone.cube: no such file\n"},
        {{"-compare", "empty.cube", "a.cube"}, "gradeshift: empty.cube: empty file\n"},
        {{"-compare", "a.cube", "broken.look"}, "gradeshift: broken.look: " + kBrokenLook + "\n"},
        {{"-compare", "a.cube", "look.look", "b.cube"},
         "gradeshift: -compare: needs two files, A and B, not 3\n" + kTryHelp},
        {{"-compare", "a.cube", "b.cube", "-size", "130"}, ""},
        {{"-compare", "a.cube", "b.cube", "-to", "cube"},
         "gradeshift: -compare: converts nothing, so -cubrel and -to do not go with it\n" +
             kTryHelp},
    };
    for (const auto& c : failures) {
        const RunResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, 1) << c.args[2];
        EXPECT_EQ(result.err, c.err) << c.args[2];
    }
    // -info says the same of them.
    const RunResult info = Run({"-info", "broken.look", "empty.cube"});
    EXPECT_EQ(info.out, "broken.look: " + kBrokenLook + "\n\nempty.cube: empty file\n");
}

// -info says what each file is and writes nothing; -json gives a line per file.
TEST_F(InspectionTest, InfoDescribesLooksAndLutFiles) {
    WriteFile("a.cube", Grade(17, false));
    WriteFile("m.look", BaseLook(Parameter("BaseLUT", "nope.cube"), StoredLut(0.25f)));
    WriteFile("notes.txt", "not a LUT\n");
    const RunResult text = Run({"-info", "a.cube", "m.look", "notes.txt"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.out, "a.cube: LUT file, cube\n"
                        "  table: 3D, 17 points\n"
                        "  input range: 0 to 1\n"
                        "  shaper: none\n"
                        "  output range: 0.1 to 0.9\n"
                        "\n"
                        "m.look: look\n"
                        "  layer: VEXLAN.Base.1, enabled, visible, opacity 1\n"
                        "  base sublayer 0: BaseLUT nope.cube\n"
                        "  per-channel: no\n"
                        "  CDL: none\n"
                        "  LUT files: nope.cube (not found)\n"
                        "  stored LUT: 9 points\n"
                        "  renders: no, converted from its stored LUT: LUT file not found: "
                        "nope.cube\n"
                        "\n"
                        "notes.txt: not a look or LUT file\n");
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(List(), (std::vector<std::string>{"a.cube", "m.look", "notes.txt"}));
    if (!HasProgram("jq"))
        GTEST_SKIP() << "jq is not installed (Debian package jq)";
    const RunResult json = Run({"-info", "-json", ".", "-strict", "notes.txt"});
    EXPECT_EQ(json.exitCode, 2);
    EXPECT_EQ(json.err, "gradeshift: notes.txt: not a look or LUT file\n");
    EXPECT_TRUE(JqSays(json.out,
                       "length == 3 and .[0].path == \"./a.cube\" and .[0].format == \"cube\" "
                       "and .[0].table.size == 17 and .[0].output_max == [0.9, 0.9, 0.9] and "
                       ".[1].kind == \"look\" and .[1].lut_files[0].found == null and "
                       ".[1].from_stored_lut and .[1].base[0].BaseLUT == \"nope.cube\" and "
                       ".[2].error == \"not a look or LUT file\"",
                       true))
        << json.out;
}

} // namespace
