#include "cli_harness.h"

#include <filesystem>
#include <fstream>

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

TEST_F(StartupTest, ArgumentErrorsPrintTheUsage) {
    const struct {
        std::vector<std::string> args;
        std::string expected;
    } cases[] = {
        {{}, kUsage},
        {{"*.look", "-bogus"}, "Unknown argument: -bogus\n\n" + kUsage},
        {{"-cubrel", "*.look"}, "Unknown argument: *.look\n\n" + kUsage},
        {{"*.look", "-size"}, kUsage},
        {{"*.look", "-size", "abc"}, kUsage},
        {{"*.look", "-size", "12x"}, kUsage},
        {{"*.look", "-size", "-cubrel"}, kUsage},
    };
    for (const auto& c : cases) {
        const RunResult result = Run(c.args);
        EXPECT_EQ(result.out, kBanner + c.expected) << ::testing::PrintToString(c.args);
        EXPECT_EQ(result.exitCode, 1) << ::testing::PrintToString(c.args);
    }
}

TEST_F(StartupTest, SizeBoundariesInBothModes) {
    // A valid size gets as far as the input search, which finds nothing here.
    const struct {
        std::vector<std::string> options;
        std::string expected;
    } cases[] = {
        {{}, kNoInput},
        {{"-size", "8"}, kNoInput},
        {{"-size", "256"}, kNoInput},
        {{"-size", "4"}, kLookSizeError},
        {{"-size", "12"}, kLookSizeError},
        {{"-size", "17"}, kLookSizeError},
        {{"-size", "512"}, kLookSizeError},
        {{"-size", "-1"}, kLookSizeError},
        {{"-size", "9", "-size", "32"}, kNoInput},
        {{"-cubrel"}, kNoInput},
        {{"-cubrel", "-size", "0"}, kNoInput},
        {{"-cubrel", "-size", "9"}, kNoInput},
        {{"-cubrel", "-size", "129"}, kNoInput},
        {{"-cubrel", "-size", "5"}, kCubrelSizeError},
        {{"-cubrel", "-size", "16"}, kCubrelSizeError},
        {{"-cubrel", "-size", "257"}, kCubrelSizeError},
        {{"-SIZE", "33", "-CuBrEl", "-NoResampling"}, kNoInput},
        {{"-Size", "33"}, kLookSizeError},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"*.none"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const RunResult result = Run(args);
        EXPECT_EQ(result.out, kBanner + c.expected) << ::testing::PrintToString(c.options);
        EXPECT_EQ(result.exitCode, 1) << ::testing::PrintToString(c.options);
    }
}

TEST_F(StartupTest, MissingOrEmptyArchiveStopsTheRun) {
    const std::string archive = m_root + "/resources/Resources.vxf";
    const struct {
        const char* label;
        bool present;
        std::string bytes;
    } cases[] = {
        {"missing", false, ""},
        {"no entries", true, std::string("VXRF\x64\0\0\0\0\0\0\0", 12)},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(archive);
        if (c.present)
            std::ofstream(archive, std::ios::binary) << c.bytes;
        const RunResult result = Run({"*.look"});
        EXPECT_EQ(result.out, kBanner + kArchiveMissing) << c.label;
        EXPECT_EQ(result.exitCode, 1) << c.label;
    }
}

} // namespace
