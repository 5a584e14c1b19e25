#include "platform/directory_search.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/path_mapping.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace fs = std::filesystem;

TEST(PathMapping, DrivesAndRoots) {
    struct Case {
        const char* path;
        bool names;
        const char* posix;
    } cases[] = {
        {"Z:\\opt\\x", true, "/opt/x"},      {"z:/opt/x", true, "/opt/x"},
        {"\\opt\\x", true, "/opt/x"},        {"a\\b.look", true, "a/b.look"},
        {"Z:rel\\x", true, "rel/x"},         {"", true, "."},
        {"C:\\opt\\x", false, ""},           {"c:x", false, ""},
        {"\\\\server\\share\\x", false, ""}, {"//server/share", false, ""},
    };
    for (const Case& c : cases) {
        std::string posix;
        EXPECT_EQ(platform::ToPosixPath(c.path, posix), c.names) << c.path;
        if (c.names) {
            EXPECT_EQ(posix, c.posix) << c.path;
        }
    }
    EXPECT_EQ(platform::ToDrivePath("/opt/gradeshift/bin/gradeshift"),
              "Z:\\opt\\gradeshift\\bin\\gradeshift");
    std::string program = platform::ProgramFilePath();
    EXPECT_EQ(program.rfind("Z:\\", 0), 0u) << program;
    EXPECT_TRUE(program.ends_with("\\test_platform")) << program;
}

TEST(PathMapping, CaseBlindResolution) {
    ScratchFolder folder;
    folder.Folder("Looks");
    folder.Write("Looks/Grade.LOOK", "x");
    folder.Write("Looks/ab", "lower");
    folder.Write("Looks/AB", "upper");
    struct Case {
        const char* relative;
        bool allowMissingLeaf;
        bool found;
        const char* resolved;
    } cases[] = {
        {"LOOKS\\grade.look", false, true, "Looks/Grade.LOOK"},
        {"looks/GRADE.look", false, true, "Looks/Grade.LOOK"},
        {"looks\\Ab", false, true, "Looks/AB"}, // first of two in listing order
        {"looks\\ab", false, true, "Looks/ab"}, // an exact name wins
        {"looks\\new.look", false, false, ""},
        {"looks\\new.look", true, true, "Looks/new.look"},
        {"missing\\new.look", true, false, ""},
    };
    for (const Case& c : cases) {
        std::string posix;
        EXPECT_EQ(platform::ResolvePath(folder.Drive(c.relative), posix, c.allowMissingLeaf),
                  c.found)
            << c.relative;
        if (c.found) {
            EXPECT_EQ(posix, folder.Posix() + "/" + c.resolved) << c.relative;
        }
    }
}

TEST(DirectorySearch, ListingOrder) {
    ScratchFolder folder;
    for (const char* name : {"b", "_x", "a1", "A", ".hidden"})
        folder.Write(name, "");
    folder.Folder("Sub");
    platform::DirectorySearch search;
    ASSERT_TRUE(search.Open(folder.Drive()));
    std::vector<std::string> names;
    std::vector<bool> folders;
    while (const platform::DirectoryEntry* entry = search.Next()) {
        names.push_back(entry->name);
        folders.push_back(entry->isDirectory);
    }
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", ".hidden", "A", "a1", "b", "Sub", "_x"}));
    EXPECT_EQ(folders, (std::vector<bool>{true, true, false, false, false, false, true, false}));

    platform::DirectorySearch root;
    ASSERT_TRUE(root.Open("Z:\\"));
    ASSERT_NE(root.Next(), nullptr);
    platform::DirectorySearch root2;
    root2.Open("\\");
    EXPECT_NE(root2.Next()->name, ".");
    EXPECT_FALSE(platform::DirectorySearch().Open("C:\\"));
    EXPECT_FALSE(platform::DirectorySearch().Open(folder.Drive("b")));
}

TEST(FileSystem, OpenSizeAndFolders) {
    ScratchFolder folder;
    folder.Write("Data.BIN", "12345");
    EXPECT_TRUE(platform::IsFolder(folder.Drive()));
    EXPECT_FALSE(platform::IsFolder(folder.Drive("Data.BIN")));
    EXPECT_EQ(platform::OpenStream(folder.Drive(), "rb"), nullptr);
    EXPECT_EQ(platform::OpenStream(folder.Drive("none"), "rb"), nullptr);

    FILE* stream = platform::OpenStream(folder.Drive("DATA.bin"), "wt");
    ASSERT_NE(stream, nullptr);
    std::fputs("a\nb", stream);
    std::fclose(stream);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Data.BIN"});
    EXPECT_EQ(folder.Read("Data.BIN"), "a\nb");
}

TEST(FileSystem, AtomicReplace) {
    ScratchFolder folder;
    folder.Write("Out.look", "old");
    EXPECT_TRUE(platform::ReplaceFile(folder.Drive("out.LOOK"), "new text", 8));
    EXPECT_EQ(folder.Read("Out.look"), "new text");
    EXPECT_TRUE(platform::ReplaceFile(folder.Drive("fresh.lut"), "", 0));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Out.look", "fresh.lut"}));

    // Failures leave the old file whole and no temporary file behind.
    folder.Folder("dir");
    EXPECT_FALSE(platform::ReplaceFile(folder.Drive("dir"), "x", 1));
    EXPECT_FALSE(platform::ReplaceFile(folder.Drive("nofolder\\a.look"), "x", 1));
    EXPECT_FALSE(platform::ReplaceFile("C:\\a.look", "x", 1));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Out.look", "dir", "fresh.lut"}));
    if (::geteuid() != 0) {
        fs::permissions(folder.Posix(), fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_FALSE(platform::ReplaceFile(folder.Drive("Out.look"), "lost", 4));
        fs::permissions(folder.Posix(), fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(folder.Read("Out.look"), "new text");
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Out.look", "dir", "fresh.lut"}));
    }

    EXPECT_TRUE(platform::AppendToFile(folder.Drive("LOG.txt"), "a", 1));
    EXPECT_TRUE(platform::AppendToFile(folder.Drive("log.TXT"), "b", 1));
    EXPECT_EQ(folder.Read("LOG.txt"), "ab");
    EXPECT_FALSE(platform::AppendToFile(folder.Drive("nofolder\\log.txt"), "a", 1));
}
