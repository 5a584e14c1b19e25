#include "lut/lut.h"

#include "../support/scratch_folder.h"
#include "../support/system_luts.h"

#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

namespace {

// The program never asks for upsampling itself; the setting does. Cube files,
// which it never upsamples, and cube, 3DL and curve-set files after a
// byte-order mark are converted by the command-line tests.
TEST(LutLoad, RecognitionOrderAndUpsamplingSetting) {
    ScratchFolder scratch;
    SystemLuts luts;
    const std::vector<uint8_t> cubrel = CubrelFile(0, true, 0, 809), cubrel17 = CubrelFile(4, true);
    const std::vector<uint8_t> empty = Container("VXTX", 0, 1, 0, 0, 17);
    const std::string look = SizedData(HexOf(std::vector<float>(24, 1.0f)));
    const std::string kMark = "\xEF\xBB\xBF";
    const std::tuple<const char*, std::string, bool, bool, uint32_t> cases[] = {
        {"truelight upsampled", TruelightFile(17, kIdentityRamp), true, true, 32},
        {"cubrel upsampled", {cubrel17.begin(), cubrel17.end()}, true, true, 32},
        {"cubrel of 809 bytes", {cubrel.begin(), cubrel.end()}, false, true, 2},
        {"808 bytes are not cubrel", {cubrel.begin(), cubrel.end() - 1}, false, false, 0},
        {"17 bytes of VXTX: an empty table", {empty.begin(), empty.end()}, false, true, 0},
        {"look", LookWith(look, 100), false, true, 2},
        {"look tag after 1024 bytes", LookWith(look, 1024), false, false, 0},
        {"plain words", "hello there\n", false, false, 0},
        // Nothing to read: no curve set, no black table.
        {"no bytes", "", false, false, 0},
        {"blanks, breaks and comments", " \r\n\t\f\n# made by hand\n  #\n", false, false, 0},
        {"a mark alone", kMark, false, false, 0},
        {"text after a NUL byte", std::string("\0BypassLUT = 1\n", 16), false, false, 0},
        {"truelight after a mark", kMark + TruelightFile(3, kIdentityRamp), false, true, 3},
        // A look of too few data bytes: OpenColorIO's own look reader refuses it too.
        {"a look after a mark is no look", kMark + LookWith(SizedData("00")), false, false, 0},
    };
    for (const auto& [name, bytes, upsample, loaded, size] : cases) {
        luts.source.alwaysUpsample = upsample;
        const std::string path = scratch.Write("case.lut", bytes);
        CVxLUT lut;
        EXPECT_EQ(lut.Load(luts.source, CVxString(path.c_str()), false, kAny, true), loaded)
            << name;
        EXPECT_EQ(lut.m_size, size) << name;
        EXPECT_EQ(lut.m_preLUT, nullptr) << name;
    }
}

TEST(LutLoad, UnreadableAndOversizedFiles) {
    ScratchFolder scratch;
    const CVxString path(scratch.Write("big.cube", CubeFile(2)).c_str());
    CVxLUT lut;
    EXPECT_TRUE(lut.Load(SystemLuts::Plain(), path, false, kAny, true));
    // Sparse: a valid cube followed by zeros.
    std::filesystem::resize_file(scratch.Posix() + "/big.cube", 209715201);
    EXPECT_FALSE(lut.Load(SystemLuts::Plain(), path, false, kAny, true));
    EXPECT_FALSE(lut.Load(SystemLuts::Plain(), CVxString(scratch.Drive("missing.cube").c_str()),
                          false, kAny, true));
}

} // namespace
