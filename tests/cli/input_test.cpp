#include "cli_harness.h"

namespace {

// In Cubrel mode these files give one fixed line each, whatever the renderer can do.
const std::string kNotALook = "  Not a valid .look file\n";
const std::string kIsCubrel = "  File seems to be a Cubrel LUT, no conversion performed\n";

using InputTest = CliTest;

TEST_F(InputTest, FoldersAndPatterns) {
    WriteFile("d/A.LOOK", "plain text");
    WriteFile("d/b.Lut", "3LUT and more");
    WriteFile("d/c.lut", "TUL3");
    WriteFile("d/.hidden.look", "plain text");
    WriteFile("d/.hidden.lut", "3LUT");
    WriteFile("d/notes.txt", "plain text");
    WriteFile("d/sub.look/inner.look", "plain text");
    MakeFolder("empty");
    WriteFile("my looks/a b.look", "plain text");
    WriteFile("z.look", "plain text");
    WriteFile("Y.look", "plain text");

    const std::string folderListing =
        "\nA.LOOK:\n" + kNotALook + "\nb.Lut:\n" + kIsCubrel + "\nc.lut:\n" + kIsCubrel;
    const struct {
        std::string input;
        std::string expected;
        int exitCode;
    } cases[] = {
        {"d", folderListing, 0},
        {"d/", folderListing, 0},
        {"d\\", folderListing, 0},
        // Listing order, not the order of the alternatives; any extension is read as a look.
        {"d/*.txt,*.LOOK", "\nA.LOOK:\n" + kNotALook + "\nnotes.txt:\n" + kNotALook, 0},
        {"d/C.LUT", "\nc.lut:\n" + kIsCubrel, 0},
        {"*.LOOK", "\nY.look:\n" + kNotALook + "\nz.look:\n" + kNotALook, 0},
        {"my looks", "\na b.look:\n" + kNotALook, 0},
        {"d/*.cube", "No input files found.\n\n", 1},
        {"empty", "No input files found.\n\n", 1},
        {"d/missing.look", "Error: The input file (missing.look) could not be opened.\n\n", 1},
        {"d/.hidden.look", "Error: The input file (.hidden.look) could not be opened.\n\n", 1},
        {"nowhere/x.lut", "Error: The input file (x.lut) could not be opened.\n\n", 1},
    };
    for (const auto& c : cases) {
        const RunResult result = Run({c.input, "-cubrel"});
        EXPECT_EQ(result.out, kBanner + c.expected) << c.input;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.input;
    }
}

} // namespace
