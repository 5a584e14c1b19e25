#include "cli_harness.h"

namespace {

// In Cubrel mode these files give one fixed line each, whatever the renderer can do.
const std::string kNotALook = "  Not a valid .look file\n";
const std::string kIsCubrel = "  File seems to be a Cubrel LUT, no conversion performed\n";

class InputTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        MakeFolder("d/sub.look");
        WriteFile("d/A.LOOK", "plain text");
        WriteFile("d/b.Lut", "3LUT and more");
        WriteFile("d/c.lut", "TUL3");
        WriteFile("d/.hidden.look", "plain text");
        WriteFile("d/.hidden.lut", "3LUT");
        WriteFile("d/notes.txt", "plain text");
        WriteFile("d/sub.look/inner.look", "plain text");
        MakeFolder("empty");
    }
};

TEST_F(InputTest, FoldersAndPatterns) {
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
        {"d/*.txt", "\nnotes.txt:\n" + kNotALook, 0},
        {"d/?.lut", "\nb.Lut:\n" + kIsCubrel + "\nc.lut:\n" + kIsCubrel, 0},
        {"d/*.LOOK,*.txt", "\nA.LOOK:\n" + kNotALook + "\nnotes.txt:\n" + kNotALook, 0},
        {"d/C.LUT", "\nc.lut:\n" + kIsCubrel, 0},
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

TEST_F(InputTest, BareNamesComeFromTheWorkingFolder) {
    WriteFile("z.look", "plain text");
    WriteFile("Y.look", "plain text");
    const RunResult result = Run({"*.LOOK", "-cubrel"});
    EXPECT_EQ(result.out, kBanner + "\nY.look:\n" + kNotALook + "\nz.look:\n" + kNotALook);
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(InputTest, AnArgumentWithSpacesStaysWhole) {
    MakeFolder("my looks");
    WriteFile("my looks/a b.look", "plain text");
    const RunResult result = Run({"my looks", "-cubrel"});
    EXPECT_EQ(result.out, kBanner + "\na b.look:\n" + kNotALook);
    EXPECT_EQ(result.exitCode, 0);
}

} // namespace
