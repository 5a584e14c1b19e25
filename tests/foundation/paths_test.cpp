#include "foundation/directory_scan.h"
#include "foundation/file_contents.h"
#include "foundation/paths.h"
#include "foundation/posix_file.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace {

std::string Text(const CVxString& s) {
    return std::string(s.View());
}

CVxString At(const ScratchFolder& folder, const std::string& relative = "") {
    return CVxString(folder.Drive(relative).c_str());
}

} // namespace

TEST(Paths, SplitAndMakePaths) {
    // Paths and their drive|folder|base|extension.
    const std::pair<const char*, const char*> splits[] = {
        {"C:\\x\\a.b.look", "C:|\\x\\|a.b|.look"},
        {"\"C:\\x\\a.lut\"", "C:|\\x\\|a|.lut"},
        {"a.look", "||a|.look"},
        {"dir/sub/name", "|dir/sub/|name|"},
        {"\\\\srv\\share\\f.txt", "|\\\\srv\\share\\|f|.txt"},
        {"x\\.hidden", "|x\\||.hidden"},
        {"a.b\\c", "|a.b\\|c|"},
        {"C:", "C:|||"},
    };
    for (const auto& [path, parts] : splits) {
        CVxString drive, folder, base, extension;
        SplitPath(path, &drive, &folder, &base, &extension);
        EXPECT_EQ(Text(drive) + "|" + Text(folder) + "|" + Text(base) + "|" + Text(extension),
                  parts);
    }
    CVxString baseOnly;
    SplitPath("\"a.look\"", nullptr, nullptr, &baseOnly, nullptr);
    EXPECT_EQ(Text(baseOnly), "a");

    // Drive, folder, base and extension, and the path they make.
    const std::array<const char*, 5> makes[] = {
        {"", "C:\\looks", "a", ".lut", "C:\\looks\\a.lut"},
        {"", "", "a", "look", "a.look"},
        {"C:", "\\x\\", "a", "", "C:\\x\\a"},
        {"C:/", "/x/", ".\\b", "..lut", "C:\\x\\b..lut"},
        {"", "x/", "/b", "", "x\\b"},
        {"", "\\x", "", "", "\\x\\"},
        {"", "", ".", "", "."},
    };
    for (const auto& [drive, folder, base, extension, made] : makes) {
        CVxString path;
        MakePath(path, drive, folder, base, extension);
        EXPECT_EQ(Text(path), made) << folder << " " << base;
    }

    // Paths and their file name|folder|parent folder.
    const std::pair<const char*, const char*> parts[] = {
        {"C:\\x\\a.b.look", "a.b.look|C:\\x\\|C:\\x\\"},
        {"name", "name||"},
        {"C:\\App\\bin\\", "|C:\\App\\bin\\|C:\\App\\"},
        {"C:\\App\\bin", "bin|C:\\App\\|C:\\App\\"},
        {"C:/App/bin/", "|C:\\App\\bin\\|C:\\App\\"},
        {"d/e", "e|d\\|d\\"},
    };
    for (const auto& [path, expected] : parts)
        EXPECT_EQ(Text(FileNameOf(path)) + "|" + Text(FolderOf(path)) + "|" +
                      Text(ParentFolder(path)),
                  expected);

    for (const char* path : {"\\\\server\\share", "c:\\x", "Z:\\"})
        EXPECT_TRUE(IsAbsolutePath(path)) << path;
    for (const char* path : {"C:x", "x\\y", "/x", "c:/x", "", "1:\\x"})
        EXPECT_FALSE(IsAbsolutePath(path)) << path;
}

TEST(Paths, ExistenceAndScans) {
    ScratchFolder folder;
    for (const char* name : {"A.LOOK", "b.Lut", "c.look.look", ".hidden.look", "x.txt"})
        folder.Write(name, "");
    folder.Folder("sub.look");

    EXPECT_TRUE(IsDirectory(At(folder)));
    EXPECT_TRUE(IsDirectory(At(folder, "SUB.look")));
    EXPECT_FALSE(IsDirectory(At(folder, "x.txt")));
    EXPECT_FALSE(IsDirectory(At(folder, "*.look")));
    EXPECT_FALSE(IsDirectory(""));
    EXPECT_TRUE(FileExists(At(folder, ".hidden.look")));
    EXPECT_TRUE(FileExists(At(folder, "a.look")));
    EXPECT_FALSE(FileExists(At(folder, "sub.look"), true));
    EXPECT_FALSE(FileExists(At(folder, "*.txt")));
    EXPECT_TRUE(FileExists(At(folder, "*.txt"), true));

    const std::tuple<const char*, bool, std::vector<std::string>> cases[] = {
        {"*.look;*.lut", false, {"A.LOOK", "b.Lut", "sub.look/"}},
        {"*.look", true, {".hidden.look", "A.LOOK", "sub.look/"}},
        {"*.*", false, {"./", "../", "A.LOOK", "b.Lut", "c.look.look", "sub.look/", "x.txt"}},
    };
    for (const auto& [pattern, hidden, expected] : cases) {
        CVxDirectoryScan scan(At(folder, pattern), hidden);
        std::vector<std::string> names;
        while (scan.Next()) {
            names.push_back(Text(scan.Name()) + (scan.IsDirectory() ? "/" : ""));
            EXPECT_EQ(Text(scan.FullPath()), Text(At(folder, Text(scan.Name()))));
        }
        EXPECT_EQ(names, expected) << pattern;
    }
    EXPECT_FALSE(CVxDirectoryScan("C:\\*.*", true).Next());
}

TEST(Paths, TextFiles) {
    ScratchFolder folder;
    folder.Write("Dos.txt", "a\r\nb\rc");
    folder.Write("zero.bin", std::string("ab\0cd", 5));
    CVxString text;
    SystemFileAccess files;
    EXPECT_TRUE(ReadTextFile(files, At(folder, "dos.TXT"), text));
    EXPECT_EQ(Text(text), "a\nb\nc");
    EXPECT_TRUE(ReadTextFile(files, folder.Drive("Dos.txt").c_str(), text, true));
    EXPECT_EQ(Text(text), "a\r\nb\rc");
    EXPECT_TRUE(ReadTextFile(files, At(folder, "zero.bin"), text));
    EXPECT_EQ(Text(text), "ab");
    EXPECT_FALSE(ReadTextFile(files, At(folder, "none.txt"), text));
    EXPECT_TRUE(text.IsEmpty());
    CVxString bytes;
    EXPECT_TRUE(ReadBinaryFile(At(folder, "zero.bin"), bytes, 5));
    EXPECT_EQ(bytes.View(), std::string_view("ab\0cd", 5));
    EXPECT_FALSE(ReadBinaryFile(At(folder, "zero.bin"), bytes, 4));
    EXPECT_TRUE(bytes.IsEmpty());

    CVxPosixFile file;
    ASSERT_TRUE(file.Open(At(folder, "zero.BIN"), "rb"));
    EXPECT_EQ(file.Size(), 5);
}
