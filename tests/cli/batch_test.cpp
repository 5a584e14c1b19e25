#include "cli_harness.h"

#include <filesystem>
#include <map>

namespace {

const std::string kRamp = "LUT_1D_SIZE 2\n0.1 0.1 0.1\n0.7 0.7 0.7\n";
const std::string kIsCubrel = "  File seems to be a Cubrel LUT, no conversion performed\n";
const std::string kResampling = "  Resampling original LUT from the .look file...\n";
const std::string kLutMissing =
    "  Error while rendering LUT:\n    One or more of the LUTs used in the look are missing\n";

using BatchTest = CliTest;

// Files that depend on each other in every way a batch can: a look that reads a
// LUT a later file replaces (a, z), a look that writes a LUT that is also an
// input (b, z) or that a later look reads (b, c), two looks that resample (the
// warning belongs to the first in list order), and files that fail.
TEST_F(BatchTest, EveryJobCountGivesTheOutputAndFilesOfOneJob) {
    const std::map<std::string, std::string> inputs = {
        {"a.look", BaseLook(Parameter("BaseLUT", "z.lut"))},
        {"b.look", BaseLook(Parameter("Gain.X", "0.5"))},
        {"b.lut", kRamp},
        {"c.look", BaseLook(Parameter("BaseLUT", "b.lut"))},
        {"d.look", BaseLook(Parameter("BaseLUT", "missing.cube"), StoredLut(0.25f))},
        {"e.look", "not a look"},
        {"m.lut", kUnloadable},
        {"y.look", BaseLook(Parameter("BaseLUT", "missing.cube"), StoredLut(0.5f))},
        {"z.look", BaseLook(Parameter("Gain.X", "0.25"))},
        {"z.lut", kRamp},
    };
    const std::string expected =
        kBanner + "\na.look:\n" + kWritten + "\nb.look:\n" + kWritten + "\nb.lut:\n" + kIsCubrel +
        "\nc.look:\n" + kWritten + "\nd.look:\n" + kLutMissing + kResampling + kResampleWarning +
        kWritten + "\ne.look:\n  Not a valid .look file\n" + "\nm.lut:\n  Error loading LUT\n" +
        kLutMissing + kCannotConvert + "\ny.look:\n" + kLutMissing + kResampling + kWritten +
        "\nz.look:\n" + kWritten + "\nz.lut:\n" + kIsCubrel;
    const std::string summary = "6 converted, 2 unchanged, 2 failed\n";
    const struct {
        std::string options;
        std::string err;
        int exitCode;
    } runs[] = {
        {"-jobs 1", "", 0},
        {"-JOBS 4", "", 0},
        {"", "", 0},
        {"-strict", summary, 2},
        {"-jobs 3 -Strict", summary, 2},
    };
    std::map<std::string, std::string> firstFiles;
    for (const auto& run : runs) {
        for (const std::string& name : List())
            std::filesystem::remove(m_work + "/" + name);
        for (const auto& [name, bytes] : inputs)
            WriteFile(name, bytes);
        std::vector<std::string> args = Words(". -cubrel -size 17 " + run.options);
        const RunResult result = Run(args);
        EXPECT_EQ(result.out, expected) << run.options;
        EXPECT_EQ(result.err, run.err) << run.options;
        EXPECT_EQ(result.exitCode, run.exitCode) << run.options;
        std::map<std::string, std::string> files;
        for (const std::string& name : List())
            files[name] = ReadFile(name);
        if (firstFiles.empty())
            firstFiles = files;
        EXPECT_TRUE(files == firstFiles) << run.options;
    }
    EXPECT_EQ(firstFiles.size(), 14u);
    EXPECT_EQ(firstFiles["m.lut"], kUnloadable);

    // Without a failure, -strict still sums up and exits with 0.
    const RunResult clean = Run({"b.look", "-cubrel", "-strict"});
    EXPECT_EQ(clean.err, "1 converted, 0 unchanged, 0 failed\n");
    EXPECT_EQ(clean.exitCode, 0);
}

// On a terminal, standard error shows each file awaited, redrawn in place, and
// a summary; standard output is the same either way.
TEST_F(BatchTest, ProgressIsShownOnATerminalOnly) {
    WriteFile("a.look", "not a look");
    WriteFile("b.lut", "3LUT");
    const RunResult result = Run({".", "-cubrel"}, {.errorOnTerminal = true});
    EXPECT_EQ(result.out, kBanner + "\na.look:\n  Not a valid .look file\n\nb.lut:\n" + kIsCubrel);
    EXPECT_EQ(result.err, "\r\033[KFile 1 of 2: a.look\r\033[K\r\033[KFile 2 of 2: b.lut\r\033[K"
                          "0 converted, 1 unchanged, 1 failed\r\n");
    EXPECT_EQ(result.exitCode, 0);
}

} // namespace
