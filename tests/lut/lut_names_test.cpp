#include "lut/lut_folder_index.h"
#include "lut/lut_format_registry.h"

#include "../support/scratch_folder.h"
#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// Which inputs are LUT files, and the format their extension names, in any
// letter case; a build without OpenColorIO knows none of its formats.
TEST(LutFormatRegistry, ExtensionsNameTheirFormat) {
    const bool withOcio = GRADESHIFT_WITH_OCIO;
    const char* const kCdl = "ASC CDL";
    const struct {
        const char* format; // null: not a LUT file
        bool throughOcio;
        std::vector<const char*> paths;
    } cases[] = {
        {"VXTX and VTX2 containers", false, {"a.lut", "Z:\\x\\A.LUT"}},
        {"cube", false, {"a.cube"}},
        {"itx", false, {"a.Itx"}},
        {"Truelight", false, {"a.cub"}},
        {"3DL mesh", false, {"a.3DL"}},
        {"CLF process list", true, {"a.clf"}},
        {"CTF process list", true, {"a.CTF"}},
        {kCdl, true, {"Z:\\x\\a.Cc", "a.cdl", "a.ccc"}},
        {"cinespace", true, {"a.csp"}},
        {"Imageworks 1D", false, {"a.spi1d"}},
        {"Imageworks 3D", false, {"a.SPI3D"}},
        {"Imageworks matrix", true, {"a.spimtx"}},
        {"Pandora", true, {"a.mga", "a.m3d"}},
        {"Nuke", true, {"a.vf"}},
        {nullptr, false, {"a.look", "a.clf.bak", "x.cube\\a", "lut", "a.", "a.cubes"}},
    };
    for (const auto& c : cases) {
        const char* expected = c.throughOcio && !withOcio ? nullptr : c.format;
        for (const char* path : c.paths) {
            const LutFormat* format = LutFormatOfExtension(path);
            EXPECT_EQ(format ? std::string(format->name) : "", expected ? expected : "") << path;
            EXPECT_EQ(IsLutFile(path), expected != nullptr) << path;
            EXPECT_EQ(IsOcioLutFile(path), expected && c.throughOcio) << path;
            EXPECT_EQ(ListsCorrections(path), expected == kCdl) << path;
        }
    }
}

// Earlier folders win and names ignore case, and the folder looked in last
// comes after every other place; the loader, the curve sets and the
// render resolve names through the index by one set of rules.
TEST(LutFolderIndex, EarlierFoldersWinNamesIgnoreCaseAndResolve) {
    ScratchFolder scratch;
    const std::string first = scratch.Write("one/Film.cube", CubeFile(2));
    scratch.Write("two/film.CUBE", CubeFile(3));
    const std::string other = scratch.Write("two/other.cube", CubeFile(2));
    scratch.Folder("one/sub.cube");
    scratch.Write("work/film.CUBE", CubeFile(2));
    scratch.Write("work/local.cube", CubeFile(2));
    scratch.Write("look/local.cube", CubeFile(2));
    const std::string beside = scratch.Write("look/beside.cube", CubeFile(2));
    const std::string look = scratch.Drive("look") + "\\";
    const CVxString folders[] = {CVxString(scratch.Folder("one").c_str()), CVxString("relative"),
                                 CVxString((scratch.Folder("two") + "\\").c_str())};
    SystemFileAccess files;
    LutFolderIndex index;
    index.Build(files, folders, 3);
    CVxString path;
    ASSERT_TRUE(index.Find("FILM.cube", path));
    EXPECT_STREQ(path.c_str(), first.c_str());
    ASSERT_TRUE(index.Find("other.cube", path));
    EXPECT_STREQ(path.c_str(), other.c_str());
    EXPECT_FALSE(index.Find("sub.cube", path));
    ASSERT_EQ(index.Names().size(), 2u);
    EXPECT_STREQ(index.Names()[0].c_str(), "Film.cube");

    const std::filesystem::path working = std::filesystem::current_path();
    std::filesystem::current_path(scratch.Posix() + "/work");
    using enum ELutNameOrder;
    const struct {
        const char* name;
        const char* folder;
        ELutNameOrder order;
        std::string path;
        // The folder looked in last.
        std::string last = "";
    } cases[] = {
        {"FILM.cube", "Z:\\package\\", eIndexFirst, first, look},
        {"FILM.cube", "", eExistingFileFirst, "FILM.cube"},
        {"missing.cube", "Z:\\package\\", eExistingFileFirst, "Z:\\package\\missing.cube", look},
        {"missing.cube", "", eIndexFirst, "missing.cube"},
        {"Z:\\Film.cube", "Z:\\package\\", eIndexFirst, "Z:\\Film.cube"},
        {"\\\\server\\Film.cube", "Z:\\package\\", eExistingFileFirst, "\\\\server\\Film.cube"},
        {"local.cube", "", eIndexFirst, "local.cube", look},
        {"BESIDE.cube", "", eIndexFirst, look + "BESIDE.cube", look},
        {"beside.cube", "Z:\\package\\", eExistingFileFirst, beside, look},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(index.Resolve(files, c.name, c.folder, c.order, c.last.c_str()).c_str(),
                     c.path.c_str())
            << c.name;
    std::filesystem::current_path(working);
}

} // namespace
