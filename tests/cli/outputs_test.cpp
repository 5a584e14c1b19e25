#include "cli_harness.h"

namespace {

const std::string kNotALook = "  Not a valid .look file\n";
const std::string kIsCubrel = "  File seems to be a Cubrel LUT, no conversion performed\n";
const std::string kTryHelp = "Try 'gradeshift --help' for more information.\n";

struct Expected {
    const char* line;
    std::string out;
    std::string err;
    int exitCode;
};

class OutputsTest : public CliTest {
protected:
    void ExpectRuns(const std::vector<Expected>& cases, const ChildSetup& setup = {}) const {
        for (const Expected& c : cases) {
            const RunResult result = Run(Words(c.line), setup);
            EXPECT_EQ(result.out, kBanner + c.out) << c.line;
            EXPECT_EQ(result.err, c.err) << c.line;
            EXPECT_EQ(result.exitCode, c.exitCode) << c.line;
        }
    }
};

// Options anywhere, long forms, several inputs each found once, and bad values
// that say what is wrong on standard error around the unchanged usage.
TEST_F(OutputsTest, LinesAsPeopleTypeThem) {
    WriteFile("a.look", "plain text");
    WriteFile("b.lut", "3LUT");
    WriteFile("d/c.lut", "TUL3");
    const std::string a = "\na.look:\n" + kNotALook;
    const std::string b = "\nb.lut:\n" + kIsCubrel;
    const std::string c = "\nc.lut:\n" + kIsCubrel;
    const std::string usage = kUsage;
    const std::vector<Expected> cases = {
        {"-cubrel d", c, "", 0},
        {"a.look b.lut -cubrel", a + b, "", 0},
        {"--CUBREL b.lut d a.look", b + c + a, "", 0},
        {"-cubrel -- a.look", a, "", 0},
        {"a.look --size=33 -cubrel --jobs 2 --strict --noresampling", a,
         "0 converted, 0 unchanged, 1 failed\n", 2},
        {"-cubrel a.look ./a.look A.LOOK *.look", a, "", 0},
        {"-cubrel missing.look a.look *.none d/", a + c,
         "gradeshift: missing.look: no such file\ngradeshift: *.none: no file matches\n", 0},
        {"-cubrel missing.look *.none", "No input files found.\n\n",
         "gradeshift: missing.look: no such file\ngradeshift: *.none: no file matches\n", 1},
        {"nowhere/ -cubrel", "Error: The input file () could not be opened.\n\n",
         "gradeshift: nowhere/: no such file\n", 1},
        {"-size abc a.look", usage, "gradeshift: -size: \"abc\" is not a number\n" + kTryHelp, 1},
        {"a.look --jobs=-1", usage, "gradeshift: --jobs: \"-1\" is not a number\n" + kTryHelp, 1},
        {"a.look -JOBS 0", usage, "gradeshift: -JOBS: \"0\" is not 1 or more\n" + kTryHelp, 1},
        {"a.look --size", usage, "gradeshift: --size: needs a value\n" + kTryHelp, 1},
        {"a.look --out=", usage, "gradeshift: --out: needs a folder\n" + kTryHelp, 1},
        {"a.look --cubrel=1", usage, "gradeshift: --cubrel: takes no value\n" + kTryHelp, 1},
        {"a.look -bogus", "Unknown argument: -bogus\n\n" + usage,
         "gradeshift: -bogus: unknown option\n" + kTryHelp, 1},
        {"-cubrel", usage, "gradeshift: no input given\n" + kTryHelp, 1},
    };
    ExpectRuns(cases);
}

} // namespace
