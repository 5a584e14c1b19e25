#include "lut/lut.h"
#include "lut/lut_folder_index.h"

#include "foundation/settings.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using EDimensionRequirement = CVxLUT::EDimensionRequirement;
constexpr EDimensionRequirement kAny = EDimensionRequirement::eAnyDimension;

std::string CubeText(uint32_t n) {
    std::string text = "LUT_3D_SIZE " + std::to_string(n) + "\n";
    for (uint32_t i = 0; i < n * n * n; ++i)
        text += "0.25 0.5 0.75\n";
    return text;
}

std::string TruelightText(uint32_t n) {
    std::string text = "# Truelight Cube v2.0\n# iDims 3\n# oDims 3\n# width " + std::to_string(n) +
                       " " + std::to_string(n) + " " + std::to_string(n) + "\n# Cube\n";
    for (uint32_t i = 0; i < n * n * n; ++i)
        text += "0.5 0.5 0.5\n";
    return text + "# end\n";
}

// Header fields at their offsets; the lattice starts at `offset`.
std::string CubrelText(size_t length, uint32_t exponent, uint32_t offset) {
    std::string file(length, '\0');
    std::memcpy(&file[0], "3LUT", 4);
    file[4] = char(offset >> 24);
    file[5] = char(offset >> 16);
    file[6] = char(offset >> 8);
    file[7] = char(offset);
    std::memset(&file[660], 0xFF, 4);
    file[769] = char(exponent);
    return file;
}

std::string LookText(size_t padding) {
    std::string hex;
    for (int i = 0; i < 8 * 3; ++i)
        hex += "0000803F"; // 1.0f
    return "<?xml version=\"1.0\" ?>\n<!--" + std::string(padding, '-') +
           "-->\n<look>\n<LUT><size>\"2\"</size><data>\"" + hex + "\"</data></LUT></look>\n";
}

struct LoadCase {
    const char* name;
    std::string bytes;
    bool loaded;
    uint32_t size;
};

TEST(LutLoad, RecognitionOrderAndRequirements) {
    ScratchFolder scratch;
    std::string cubrel = CubrelText(809, 0, 0);
    const LoadCase cases[] = {
        {"cubrel of 809 bytes", cubrel, true, 2},
        {"808 bytes are not cubrel", cubrel.substr(0, 808), false, 0},
        {"17 bytes of VXTX: an empty table", std::string("VXTX\0\0\0\0\1\0\0\0\0\0\0\0\0", 17),
         true, 0},
        {"look", LookText(100), true, 2},
        {"look tag after 1024 bytes", LookText(1024), false, 0},
        {"cube", CubeText(3), true, 3},
        {"truelight", TruelightText(2), true, 2},
        {"plain words", "hello there\n", false, 0},
    };
    for (const LoadCase& c : cases) {
        const std::string path = scratch.Write("case.lut", c.bytes);
        CVxLUT lut;
        EXPECT_EQ(lut.Load(CVxString(path.c_str()), false, kAny, true), c.loaded) << c.name;
        EXPECT_EQ(lut.m_size, c.size) << c.name;
        EXPECT_EQ(lut.m_preLUT, nullptr) << c.name;
    }
}

TEST(LutLoad, UnreadableAndOversizedFiles) {
    ScratchFolder scratch;
    const std::string path = scratch.Write("big.cube", CubeText(2));
    CVxLUT lut;
    EXPECT_TRUE(lut.Load(CVxString(path.c_str()), false, kAny, true));
    // Sparse: a valid cube followed by zeros.
    std::filesystem::resize_file(scratch.Posix() + "/big.cube", 209715201);
    CVxLUT big;
    EXPECT_FALSE(big.Load(CVxString(path.c_str()), false, kAny, true));
    CVxLUT missing;
    EXPECT_FALSE(missing.Load(CVxString((path + "x").c_str()), false, kAny, true));
}

// The program never asks for upsampling itself; the setting does.
TEST(LutLoad, UpsamplingSwitch) {
    ScratchFolder scratch;
    SettingsStore& store = GlobalSettings().UserStore();
    const std::string cubrel = CubrelText(1024 + 4 * 17 * 17 * 17, 4, 1024);
    struct Case {
        const char* name;
        bool setting;
        std::string bytes;
        uint32_t size;
    };
    const Case cases[] = {{"cube stays", true, CubeText(17), 17},
                          {"truelight", true, TruelightText(17), 32},
                          {"cubrel", true, cubrel, 32},
                          {"switch off", false, TruelightText(17), 17}};
    for (const Case& c : cases) {
        ASSERT_TRUE(store.LoadText(c.setting ? "<values><ColorTransforms><AlwaysUpsampleToPoT>\"1\""
                                               "</AlwaysUpsampleToPoT></ColorTransforms></values>"
                                             : "<values></values>"));
        const std::string path = scratch.Write("up.lut", c.bytes);
        CVxLUT lut;
        EXPECT_TRUE(lut.Load(CVxString(path.c_str()), false, kAny, true)) << c.name;
        EXPECT_EQ(lut.m_size, c.size) << c.name;
    }
    EXPECT_STREQ(store.GetString("ColorTransforms.AlwaysUpsampleToPoT", "absent").c_str(), "0");
    ASSERT_TRUE(store.LoadText("<values></values>"));
}

TEST(LutFolderIndex, EarlierFoldersWinAndNamesIgnoreCase) {
    ScratchFolder scratch;
    const std::string first = scratch.Write("one/Film.cube", CubeText(2));
    scratch.Write("two/film.CUBE", CubeText(3));
    const std::string other = scratch.Write("two/other.cube", CubeText(2));
    scratch.Folder("one/sub.cube");
    const CVxString folders[] = {CVxString(scratch.Folder("one").c_str()), CVxString("relative"),
                                 CVxString((scratch.Folder("two") + "\\").c_str())};
    LutFolderMap index;
    index.Build(folders, 3);
    CVxString path;
    ASSERT_TRUE(index.Find("FILM.cube", path));
    EXPECT_STREQ(path.c_str(), first.c_str());
    ASSERT_TRUE(index.Find("other.cube", path));
    EXPECT_STREQ(path.c_str(), other.c_str());
    EXPECT_FALSE(index.Find("sub.cube", path));
    ASSERT_EQ(index.Names().size(), 2u);
    EXPECT_STREQ(index.Names()[0].c_str(), "Film.cube");
}

} // namespace
