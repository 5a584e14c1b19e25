#include "foundation/settings.h"

#include "../support/scratch_folder.h"

#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The program never asks for upsampling itself; the setting does.
TEST(LutLoad, RecognitionOrderAndUpsamplingSetting) {
    ScratchFolder scratch;
    SettingsStore& store = GlobalSettings().UserStore();
    const std::string upsampling = "<values><ColorTransforms><AlwaysUpsampleToPoT>\"1\""
                                   "</AlwaysUpsampleToPoT></ColorTransforms></values>";
    const std::vector<uint8_t> cubrel = CubrelFile(0, true, 0, 809), cubrel17 = CubrelFile(4, true);
    const std::vector<uint8_t> empty = Container("VXTX", 0, 1, 0, 0, 17);
    const std::string look = SizedData(HexOf(std::vector<float>(24, 1.0f)));
    const std::string kMark = "\xEF\xBB\xBF";
    std::string mesh = "0 341 682 1023\n";
    for (int i = 0; i < 64; ++i)
        mesh += "0 512 1023\n";
    const struct {
        const char* name;
        std::string bytes;
        bool upsampling, loaded;
        uint32_t size;
    } cases[] = {
        {"cube never upsampled", CubeFile(17), true, true, 17},
        {"truelight upsampled", TruelightFile(17, kIdentityRamp), true, true, 32},
        {"cubrel upsampled", {cubrel17.begin(), cubrel17.end()}, true, true, 32},
        {"cubrel of 809 bytes", {cubrel.begin(), cubrel.end()}, false, true, 2},
        {"808 bytes are not cubrel", {cubrel.begin(), cubrel.end() - 1}, false, false, 0},
        {"17 bytes of VXTX: an empty table", {empty.begin(), empty.end()}, false, true, 0},
        {"look", LookWith(look, 100), false, true, 2},
        {"look tag after 1024 bytes", LookWith(look, 1024), false, false, 0},
        {"cube", CubeFile(3), false, true, 3},
        {"plain words", "hello there\n", false, false, 0},
        {"truelight", TruelightFile(3, kIdentityRamp), false, true, 3},
        {"cube after a byte-order mark", kMark + CubeFile(3), false, true, 3},
        {"truelight after a mark", kMark + TruelightFile(3, kIdentityRamp), false, true, 3},
        {"3dl after a mark", kMark + mesh, false, true, 4},
        {"curve set after a mark", kMark + "BypassLUT = 1\n", false, true, 1024},
        {"a look after a mark is no look", kMark + LookWith(look), false, false, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(store.LoadText(c.upsampling ? upsampling.c_str() : "<values></values>"));
        const std::string path = scratch.Write("case.lut", c.bytes);
        CVxLUT lut;
        EXPECT_EQ(lut.Load(CVxString(path.c_str()), false, kAny, true), c.loaded) << c.name;
        EXPECT_EQ(lut.m_size, c.size) << c.name;
        EXPECT_EQ(lut.m_preLUT, nullptr) << c.name;
    }
    EXPECT_STREQ(store.GetString("ColorTransforms.AlwaysUpsampleToPoT", "absent").c_str(), "0");
}

TEST(LutLoad, UnreadableAndOversizedFiles) {
    ScratchFolder scratch;
    const CVxString path(scratch.Write("big.cube", CubeFile(2)).c_str());
    CVxLUT lut;
    EXPECT_TRUE(lut.Load(path, false, kAny, true));
    // Sparse: a valid cube followed by zeros.
    std::filesystem::resize_file(scratch.Posix() + "/big.cube", 209715201);
    EXPECT_FALSE(lut.Load(path, false, kAny, true));
    EXPECT_FALSE(lut.Load(CVxString(scratch.Drive("missing.cube").c_str()), false, kAny, true));
}

} // namespace
