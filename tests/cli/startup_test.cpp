#include "cli_harness.h"

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
        {kUsage, {"", "*.look -size", "*.look -size abc", "*.look -size -cubrel"}},
        {"Unknown argument: -bogus\n\n" + kUsage, {"*.look -bogus"}},
        {"Unknown argument: *.look\n\n" + kUsage, {"-cubrel *.look"}},
        // A valid size gets as far as the input search, which finds nothing here.
        {kNoInput,
         {"*.none", "*.none -size 8", "*.none -size 256", "*.none -size 9 -size 32",
          "*.none -cubrel", "*.none -cubrel -size 0", "*.none -cubrel -size 9",
          "*.none -cubrel -size 129", "*.none -SIZE 33 -CuBrEl -NoResampling"}},
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

TEST_F(StartupTest, MissingOrEmptyArchiveStopsTheRun) {
    for (const std::string bytes : {"", "VXRF\x64"}) {
        std::filesystem::remove(m_root + "/resources/Resources.vxf");
        if (!bytes.empty())
            m_scratch.Write("resources/Resources.vxf", bytes + std::string(8, '\0'));
        const RunResult result = Run({"*.look"});
        EXPECT_EQ(result.out, kBanner + kArchiveMissing) << bytes;
        EXPECT_EQ(result.exitCode, 1) << bytes;
    }
}

} // namespace
