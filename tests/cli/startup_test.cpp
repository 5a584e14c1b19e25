#include "cli_harness.h"

#include <cstdlib>
#include <filesystem>

namespace {

const std::string kCubrelSizeError =
    "Invalid LUT size for Cubrel LUTs. The size has to be a power of two + 1\n"
    "(e.g. (2^5)+1=33) and the allowed range is 9 to 129.\n\n";
const std::string kLookSizeError =
    "Invalid LUT size for .look LUTs. The size has to be a power of two\n"
    "(e.g. (2^5)=32) and the allowed range is 8 to 256.\n\n";
const std::string kNoInput = "No input files found.\n\n";
const std::string kArchiveMissing = "Resources.vxf not found, please start this application\n"
                                    "in the folder where it was originally installed.";

using StartupTest = CliTest;

TEST_F(StartupTest, BadArgumentsAndSizesStopTheRun) {
    const std::pair<std::string, std::vector<const char*>> cases[] = {
        // A valid size gets as far as the input search, which finds nothing here.
        {kNoInput,
         {"*.none", "*.none -size 8", "*.none -size 256", "*.none -size 9 -size 32",
          "*.none -cubrel", "*.none -cubrel -size 0", "*.none -cubrel -size 9",
          "*.none -cubrel -size 129", "*.none -SIZE 33 -CuBrEl -NoResampling",
          "*.none -Jobs 3 -STRICT", "-cubrel *.none"}},
        {kLookSizeError,
         {"*.none -size 4", "*.none -size 12", "*.none -size 17", "*.none -size 512",
          "*.none -size -1"}},
        {kCubrelSizeError,
         {"*.none -cubrel -size 5", "*.none -cubrel -size 16", "*.none -cubrel -size 257"}},
    };
    for (const auto& [expected, lines] : cases)
        for (const char* line : lines) {
            const RunResult result = Run(Words(line));
            EXPECT_EQ(result.out, kBanner + expected) << line;
            EXPECT_EQ(result.exitCode, 1) << line;
        }
}

// Help and version come before every other check, the archive's included, and
// only when asked alone and no file has that name; without them a missing or
// empty archive stops the run.
TEST_F(StartupTest, HelpAndVersionAnswerAlone) {
    std::filesystem::remove(m_root + "/resources/Resources.vxf");
    const RunResult help = Run({"--help"});
    EXPECT_EQ(help.out.substr(0, 104), "Gradeshift converts colour-grading looks and LUT files.\n\n"
                                       "Usage: gradeshift [options] input... [options]\n");
    for (const char* word : {"-cubrel", "-to FORMAT", "hald", "-size N", "-noresampling", "-jobs N",
                             "-strict", "-out DIR", "-verbose", "  2  "})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    const std::pair<std::string, std::vector<const char*>> cases[] = {
        {help.out, {"--help", "-h", "-help"}},
        {"Gradeshift " GRADESHIFT_VERSION "\n", {"--version"}},
        {kBanner + kArchiveMissing, {"--help -cubrel", "-H", "--Version"}},
    };
    for (const auto& [expected, lines] : cases)
        for (const char* line : lines) {
            const RunResult result = Run(Words(line));
            EXPECT_EQ(result.out, expected) << line;
            EXPECT_EQ(result.exitCode, expected == kBanner + kArchiveMissing ? 1 : 0) << line;
        }
    // A file of that name is an input like any other; an empty archive is none.
    WriteFile("-h", "");
    for (const std::string& bytes : {std::string(), "VXRF\x64" + std::string(8, '\0')}) {
        m_scratch.Write("resources/Resources.vxf", bytes);
        const RunResult result = Run({"-h"});
        EXPECT_EQ(result.out, kBanner + kArchiveMissing) << bytes.size();
        EXPECT_EQ(result.exitCode, 1) << bytes.size();
    }
}

// Started by its bare name from PATH, as an installed command is, the program
// finds its installation: the archive, and OpenColorIO's module beside it.
TEST_F(StartupTest, StartsByNameFromPath) {
    if (!GRADESHIFT_WITH_OCIO)
        GTEST_SKIP() << "built without OpenColorIO";
    WriteFile("grade.cube", kCube2);
    const std::string command = "cd '" + m_work + "' && PATH='" + m_root +
                                "/bin':/usr/bin:/bin gradeshift grade.cube -to clf > out.txt 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFile("out.txt"), kBanner + "\ngrade.cube:\n  CLF LUT written successfully\n");
}

using InputTest = CliTest;

TEST_F(InputTest, FoldersAndPatterns) {
    for (const char* name : {"d/A.LOOK", "d/.hidden.look", "d/notes.txt", "d/sub.look/inner.look",
                             "my looks/a b.look", "z.look", "Y.look"})
        WriteFile(name, "plain text");
    WriteFile("d/b.Lut", "3LUT and more");
    WriteFile("d/c.lut", "TUL3");
    WriteFile("d/.hidden.lut", "3LUT");
    MakeFolder("empty");

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
