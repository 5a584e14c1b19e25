#include "cli_harness.h"

#include <filesystem>

namespace {

using OutputsTest = CliTest;

// Options anywhere, long forms, several inputs each found once, and bad values
// that say what is wrong on standard error around the unchanged usage.
TEST_F(OutputsTest, LinesAsPeopleTypeThem) {
    WriteFile("a.look", "plain text");
    WriteFile("-odd.txt", "plain text");
    WriteFile("b.lut", "3LUT");
    WriteFile("d/c.lut", "TUL3");
    const std::string a = "\na.look:\n" + kNotALook;
    const std::string b = "\nb.lut:\n" + kIsCubrel;
    const std::string c = "\nc.lut:\n" + kIsCubrel;
    ExpectRuns({
        {"-cubrel d", c, "", 0},
        {"a.look b.lut -cubrel", a + b, "", 0},
        {"--CUBREL b.lut d a.look", b + c + a, "", 0},
        {"-cubrel -- a.look", a, "", 0},
        // The first argument is an input unless it is an option; after "--" every one is.
        {"-odd.txt -cubrel -- --", "\n-odd.txt:\n" + kNotALook, "gradeshift: --: no such file\n",
         0},
        {"a.look --size=33 -cubrel --jobs 2 --strict --noresampling", a,
         "gradeshift: a.look: not a look or LUT file\n"
         "0 converted, 0 unchanged, 1 failed\nfailed: a.look\n",
         2},
        {"-cubrel a.look ./a.look A.LOOK *.look", a, "", 0},
        {"-cubrel missing.look a.look *.none d/", a + c,
         "gradeshift: missing.look: no such file\ngradeshift: *.none: no file matches\n", 0},
        {"-cubrel missing.look *.none", "No input files found.\n\n",
         "gradeshift: missing.look: no such file\ngradeshift: *.none: no file matches\n", 1},
        {"nowhere/ -cubrel", "Error: The input file () could not be opened.\n\n",
         "gradeshift: nowhere/: no such file\n", 1},
        {"-size abc a.look", kUsage, "gradeshift: -size: \"abc\" is not a number\n" + kTryHelp, 1},
        {"a.look --jobs=-1", kUsage, "gradeshift: --jobs: \"-1\" is not a number\n" + kTryHelp, 1},
        {"a.look -jobs +2", kUsage, "gradeshift: -jobs: \"+2\" is not a number\n" + kTryHelp, 1},
        {"a.look -JOBS 0", kUsage, "gradeshift: -JOBS: \"0\" is not 1 or more\n" + kTryHelp, 1},
        {"a.look --size", kUsage, "gradeshift: --size: needs a value\n" + kTryHelp, 1},
        {"a.look --out=", kUsage, "gradeshift: --out: needs a folder\n" + kTryHelp, 1},
        {"a.look --cubrel=1", kUsage, "gradeshift: --cubrel: takes no value\n" + kTryHelp, 1},
        {"a.look -size=9", "Unknown argument: -size=9\n\n" + kUsage,
         "gradeshift: -size=9: unknown option\n" + kTryHelp, 1},
        {"-cubrel", kUsage, "gradeshift: no input given\n" + kTryHelp, 1},
        {"", kUsage, "", 1},
        {"a.look -size -cubrel", kUsage,
         "gradeshift: -size: \"-cubrel\" is not a number\n" + kTryHelp, 1},
    });
}

// An argument that names an existing file is that file, whatever characters
// its name holds; only one that names no file is a list of wildcards.
TEST_F(OutputsTest, ArgumentsThatNameFilesAreThoseFiles) {
    const std::string look = BaseLook(Parameter("Gain.X", "0.5"));
    WriteFile("final.look", look);
    WriteFile("take1,final.look", look);
    WriteFile("a;b.look", "plain text");
    ExpectRuns({
        {"-cubrel -strict final.look take1,final.look",
         "\nfinal.look:\n" + kWritten + "\ntake1,final.look:\n" + kWritten,
         "2 converted, 0 unchanged, 0 failed\n", 0},
        {"-to cube -- take1,final.look", "\ntake1,final.look:\n  cube LUT written successfully\n",
         "", 0},
        {"-cubrel A;B.LOOK", "\na;b.look:\n" + kNotALook, "", 0},
        {"-cubrel none.look;final.look", "\nfinal.look:\n" + kWritten, "", 0},
    });
    EXPECT_EQ(List(),
              (std::vector<std::string>{"a;b.look", "final.look", "final.lut", "take1,final.cube",
                                        "take1,final.look", "take1,final.lut"}));
}

// Every output goes into the folder, no input changes, a wrapped LUT is found
// from wherever its look goes, and the first of two inputs with one output wins.
TEST_F(OutputsTest, OutputFolderTakesEveryOutput) {
    const std::string look = BaseLook(Parameter("Gain.X", "0.5"));
    WriteFile("src/a.look", look);
    WriteFile("src/c.lut", kRamp);
    WriteFile("other/a.look", look);
    WriteFile("src/cubrel.lut", "3LUT");
    for (const char* folder : {"o", "p", "q", "elsewhere"})
        MakeFolder(folder);
    const std::string updated = "\na.look:\n" + kUpdated + "\nc.lut:\n" + kUpdated;
    ExpectRuns({
        {"-size 8 --out=o src other/a.look",
         updated + "\ncubrel.lut:\n" + kNotRendered +
             "\na.look:\n"
             "  Error: o/a.look is also the output of src/a.look; file was not converted\n",
         "", 0},
        {"-cubrel -out p src",
         "\na.look:\n" + kWritten + "\nc.lut:\n" + kWritten + "\ncubrel.lut:\n" + kIsCubrel, "", 0},
        {"-cubrel -out q o/c.look", "\nc.look:\n" + kWritten, "", 0},
        {"-out nowhere src", "", "gradeshift: -out nowhere: No such file or directory\n", 1},
        {"-out src/c.lut src", "", "gradeshift: -out src/c.lut: Not a directory\n", 1},
    });
    EXPECT_EQ(ReadFile("src/a.look"), look);
    EXPECT_EQ(ReadFile("src/c.lut"), kRamp);
    EXPECT_EQ(ReadFile("other/a.look"), look);
    EXPECT_EQ(m_scratch.Names("work/src"),
              (std::vector<std::string>{"a.look", "c.lut", "cubrel.lut"}));
    EXPECT_EQ(m_scratch.Names("work/o"), (std::vector<std::string>{"a.look", "c.look"}));
    EXPECT_EQ(m_scratch.Names("work/p"), (std::vector<std::string>{"a.lut", "c.lut"}));
    // The wrapped LUT renders from the output folder as the LUT itself does.
    EXPECT_EQ(ReadFile("q/c.lut"), ReadFile("p/c.lut"));
    m_scratch.Write("work/elsewhere/deeper/c.look", ReadFile("o/c.look"));
    ExpectRuns({{"-cubrel elsewhere/deeper", "\nc.look:\n" + kWritten, "", 0}});
    EXPECT_EQ(ReadFile("elsewhere/deeper/c.lut"), ReadFile("p/c.lut"));

    // The input's own folder, however written, is the same as no output folder.
    const RunResult beside = Run(Words("-size 8 src/c.lut -out ./src/"));
    EXPECT_EQ(beside.out, kBanner + "\nc.lut:\n" + kUpdated);
    EXPECT_NE(ReadFile("src/c.look").find("<BaseLUT>\"c.lut\"</BaseLUT>"), std::string::npos);
}

// A LUT file under another extension replaces only what a conversion made:
// a Cubrel LUT, or a look made for that same file; -overwrite replaces any.
TEST_F(OutputsTest, ChosenNamesReplaceOnlyWhatConversionsMade) {
    // Its base names the LUT file, and does more.
    const std::string foreignLook =
        BaseLook(Parameter("BaseLUT", "c.cube") + Parameter("Gain.X", "0.5"));
    for (const char* name : {"a.cube", "b.cube", "c.cube", "d.cube", "f.cube", "f.3dl"})
        WriteFile(name, kCube2);
    WriteFile("b.lut", "houdini");
    WriteFile("c.look", foreignLook);
    WriteFile("d.lut", "3LUT");
    const std::string resampled = kResampling + kWritten;
    ExpectRuns({
        {"-cubrel b.cube d.cube",
         "\nb.cube:\n  Error: b.lut exists and is not a Cubrel LUT; file was not converted"
         " (-out DIR writes elsewhere; -overwrite replaces it)\n\nd.cube:\n" +
             resampled,
         "", 0},
        {"-cubrel f.cube f.3dl",
         "\nf.cube:\n" + resampled +
             "\nf.3dl:\n  Error: f.lut is also the output of f.cube; file was not converted\n",
         "", 0},
        {"-size 8 a.cube c.cube",
         "\na.cube:\n" + kUpdated +
             "\nc.cube:\n  Error: c.look exists and is not a look made for this file; file was"
             " not converted (-out DIR writes elsewhere; -overwrite replaces it)\n",
         "", 0},
        {"-size 16 a.cube", "\na.cube:\n" + kOverwriting + kUpdated, "", 0},
    });
    EXPECT_EQ(ReadFile("b.lut"), "houdini");
    EXPECT_EQ(ReadFile("c.look"), foreignLook);
    EXPECT_NE(ReadFile("a.look").find("<size>\"16\"</size>"), std::string::npos);
    ExpectRuns({{"-cubrel b.cube --overwrite", "\nb.cube:\n" + resampled, "", 0},
                {"-size 8 c.cube -OVERWRITE", "\nc.cube:\n" + kOverwriting + kUpdated, "", 0}});
    EXPECT_EQ(ReadFile("b.lut").substr(0, 4), "3LUT");
    EXPECT_NE(ReadFile("c.look"), foreignLook);
}

// Standard error says, in input order on every job count, why each file
// failed and, with -v, what each other file wrote or why nothing.
TEST_F(OutputsTest, FailuresSayWhyAndVerboseSaysWhatWasWritten) {
    WriteFile("a.look", BaseLook(Parameter("Gain.X", "0.5")));
    WriteFile("b.lut", "3LUT");
    WriteFile("c.lut", kRamp);
    WriteFile("e.lut", "");
    WriteFile("g.lut", kUnloadable);
    WriteFile("m.look", BaseLook(Parameter("BaseLUT", "nope.cube")));
    WriteFile("s.look", UnknownShaderLook());
    const std::string failures = "gradeshift: e.lut: empty file\n"
                                 "gradeshift: g.lut: not a look or LUT file\n"
                                 "gradeshift: m.look: LUT file not found: nope.cube\n"
                                 "gradeshift: s.look: shader not installed: Studio.Missing\n";
    const std::string cubrel = "-cubrel a.look b.lut e.lut g.lut m.look s.look ";
    for (const char* jobs : {"-jobs 1", "-jobs 4"}) {
        std::filesystem::remove(m_work + "/a.lut");
        const RunResult verbose = Run(Words(cubrel + "-v " + jobs));
        EXPECT_EQ(verbose.err, "gradeshift: a.look -> a.lut (new Cubrel LUT)\n"
                               "gradeshift: b.lut: nothing written, already a Cubrel LUT\n" +
                                   failures)
            << jobs;
        const RunResult strict = Run(Words(cubrel + "-strict " + jobs));
        EXPECT_EQ(strict.err, failures + "1 converted, 1 unchanged, 4 failed\n"
                                         "failed: e.lut, g.lut, m.look, s.look\n")
            << jobs;
        EXPECT_EQ(strict.out, verbose.out) << jobs;
        EXPECT_EQ(Run(Words(cubrel + jobs)).err, "") << jobs;
    }
    const RunResult rebuild = Run(Words("--verbose -size 8 a.look c.lut a.look -- c.lut"));
    EXPECT_EQ(rebuild.err, "gradeshift: a.look -> a.look (look rewritten in place)\n"
                           "gradeshift: c.lut -> c.look (new look)\n");
    EXPECT_EQ(Run(Words("-v -size 8 c.lut a.look")).err,
              "gradeshift: c.lut -> c.look (look replaced)\n"
              "gradeshift: a.look: nothing written, its LUT has the size already\n");
}

} // namespace
