#include "lut/lut_folder_index.h"

#include "../support/scratch_folder.h"

#include "lut_sample_files.h"

#include <gtest/gtest.h>

namespace {

TEST(LutFolderIndex, EarlierFoldersWinAndNamesIgnoreCase) {
    ScratchFolder scratch;
    const std::string first = scratch.Write("one/Film.cube", CubeFile(2));
    scratch.Write("two/film.CUBE", CubeFile(3));
    const std::string other = scratch.Write("two/other.cube", CubeFile(2));
    scratch.Folder("one/sub.cube");
    const CVxString folders[] = {CVxString(scratch.Folder("one").c_str()), CVxString("relative"),
                                 CVxString((scratch.Folder("two") + "\\").c_str())};
    LutFolderIndex index;
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
