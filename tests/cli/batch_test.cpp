#include "cli_harness.h"

#include <filesystem>
#include <map>

namespace {

using BatchTest = CliTest;

// Files that depend on each other in every way a batch can. Cubrel mode: a look
// that reads a LUT that a later file replaces (a, slow to read, and b), a look that
// writes a LUT that is also an input (b, z) or that a later look reads (b, c), two
// looks that resample (the warning belongs to the first in list order), and files
// that fail.
// Rebuild mode: a LUT that replaces a look that is also an input, and a look that
// reads that look as its LUT.
TEST_F(BatchTest, EveryJobCountGivesTheOutputAndFilesOfOneJob) {
    const std::string bigStoredLut = LutElement("LUT", 64, std::vector<float>(3 << 18, 0.5f));
    const struct {
        std::string options;
        std::map<std::string, std::string> inputs;
        std::string expected;
        std::string summary;
        size_t fileCount;
    } batches[] = {
        {"-cubrel -size 17",
         {
             {"a.look", BaseLook(Parameter("BaseLUT", "b.lut"), bigStoredLut)},
             {"b.look", BaseLook(Parameter("Gain.X", "0.5"))},
             {"b.lut", kRamp},
             {"c.look", BaseLook(Parameter("BaseLUT", "b.lut"))},
             {"d.look", BaseLook(Parameter("BaseLUT", "missing.cube"), StoredLut(0.25f))},
             {"e.look", "not a look"},
             {"m.lut", kUnloadable},
             {"y.look", BaseLook(Parameter("BaseLUT", "missing.cube"), StoredLut(0.5f))},
             {"z.look", BaseLook(Parameter("Gain.X", "0.25"))},
             {"z.lut", kRamp},
         },
         "\na.look:\n" + kWritten + "\nb.look:\n" + kWritten + "\nb.lut:\n" + kIsCubrel +
             "\nc.look:\n" + kWritten + "\nd.look:\n" + kLutMissing + kResamplingStored +
             kResampleWarning + kWritten + "\ne.look:\n" + kNotALook +
             "\nm.lut:\n  Error loading LUT\n" + kLutMissing + kCannotConvert + "\ny.look:\n" +
             kLutMissing + kResamplingStored + kWritten + "\nz.look:\n" + kWritten + "\nz.lut:\n" +
             kIsCubrel,
         "gradeshift: ./d.look: from its stored LUT: LUT file not found: missing.cube\n"
         "gradeshift: ./e.look: not a look or LUT file\n"
         "gradeshift: ./m.lut: not a look or LUT file\n"
         "gradeshift: ./y.look: from its stored LUT: LUT file not found: missing.cube\n"
         "4 converted, 2 from stored LUTs, 2 unchanged, 2 failed\nfailed: ./e.look, ./m.lut\n",
         14},
        {"-size 8",
         {
             {"a.look", BaseLook(Parameter("Gain.X", "0.5"))},
             {"a.lut", kRamp},
             {"b.look", BaseLook(Parameter("BaseLUT", "a.look"))},
             {"c.look", "not a look"},
         },
         "\na.look:\n" + kUpdated + "\na.lut:\n" + kOverwriting + kUpdated + "\nb.look:\n" +
             kUpdated + "\nc.look:\n" + kNotALook,
         "gradeshift: ./c.look: not a look or LUT file\n"
         "3 converted, 0 unchanged, 1 failed\nfailed: ./c.look\n",
         4},
    };
    for (const auto& batch : batches) {
        const struct {
            std::string options;
            bool strict;
        } runs[] = {{"-jobs 1", false},
                    {"-JOBS 4", false},
                    {"", false},
                    {"-strict", true},
                    {"-jobs 3 -Strict", true}};
        std::map<std::string, std::string> firstFiles;
        for (const auto& run : runs) {
            const std::string line = ". " + batch.options + " " + run.options;
            ClearWork();
            for (const auto& [name, bytes] : batch.inputs)
                WriteFile(name, bytes);
            const RunResult result = Run(Words(line));
            EXPECT_EQ(result.out, kBanner + batch.expected) << line;
            EXPECT_EQ(result.err, run.strict ? batch.summary : "") << line;
            EXPECT_EQ(result.exitCode, run.strict ? 2 : 0) << line;
            const std::map<std::string, std::string> files = Files();
            if (firstFiles.empty())
                firstFiles = files;
            EXPECT_TRUE(files == firstFiles) << line;
        }
        EXPECT_EQ(firstFiles.size(), batch.fileCount) << batch.options;
    }

    // Without a failure, -strict still sums up and exits with 0.
    const RunResult clean = Run({"b.look", "-cubrel", "-strict"});
    EXPECT_EQ(clean.err, "1 converted, 0 unchanged, 0 failed\n");
    EXPECT_EQ(clean.exitCode, 0);
}

// A 3DL lattice of n points, slower to read and resample than a small cube.
std::string Mesh3dl(int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += std::to_string(i * 1023 / (n - 1)) + (i + 1 < n ? " " : "\n");
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                text += std::to_string(r * 4095 / (n - 1)) + " " +
                        std::to_string(g * 2000 / (n - 1)) + " " +
                        std::to_string(b * 4095 / (n - 1)) + "\n";
    return text;
}

// Inputs that reach one file: three sources of one Cubrel LUT, of which the
// look writes it and the LUT files under other extensions give way whatever
// their order, and a look reached through a symbolic link and then as itself.
// Each keeps its input order on every job count.
TEST_F(BatchTest, InputsThatReachOneFileKeepTheirOrder) {
    const std::string kGivesWay =
        "  Error: a.lut is also the output of a.look; file was not converted\n";
    const struct {
        std::vector<std::string> words;
        std::string expected;
    } cases[] = {
        {{"a.*", "-cubrel", "-size", "65"},
         "\na.3dl:\n" + kGivesWay + "\na.cube:\n" + kGivesWay + "\na.look:\n" + kWritten},
        {{"?.look", "-size", "32"},
         "\na.look:\n" + kUpdated + "\nx.look:\n  LUT size is already 32, file was not modified\n"},
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> firstFiles;
        for (const char* jobs : {"1", "2", "2", "2", "2"}) {
            ClearWork();
            WriteFile("a.3dl", Mesh3dl(33));
            WriteFile("a.cube", kRamp);
            WriteFile("x.look", BaseLook(Parameter("Gain.X", "0.5"), StoredLut(0.5f)));
            std::filesystem::create_symlink("x.look", m_work + "/a.look");
            std::vector<std::string> words = c.words;
            words.insert(words.end(), {"-jobs", jobs});
            const RunResult result = Run(words);
            EXPECT_EQ(result.out, kBanner + c.expected) << c.words[0] << " -jobs " << jobs;
            const std::map<std::string, std::string> files = Files();
            if (firstFiles.empty())
                firstFiles = files;
            EXPECT_TRUE(files == firstFiles) << c.words[0] << " -jobs " << jobs;
        }
    }
}

// On a terminal, standard error shows each file awaited, redrawn in place, why
// each failed file failed, and a summary that names them; standard output is
// the same either way.
TEST_F(BatchTest, ProgressIsShownOnATerminalOnly) {
    WriteFile("a.look", "not a look");
    WriteFile("b.lut", "3LUT");
    const RunResult result = Run({".", "-cubrel"}, {.errorOnTerminal = true});
    EXPECT_EQ(result.out, kBanner + "\na.look:\n" + kNotALook + "\nb.lut:\n" + kIsCubrel);
    EXPECT_EQ(result.err, "\r\033[KFile 1 of 2: a.look\r\033[K"
                          "gradeshift: ./a.look: not a look or LUT file\r\n"
                          "\r\033[KFile 2 of 2: b.lut\r\033[K"
                          "0 converted, 1 unchanged, 1 failed\r\nfailed: ./a.look\r\n");
    EXPECT_EQ(result.exitCode, 0);
}

} // namespace
