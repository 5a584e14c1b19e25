#include "foundation/file_access.h"
#include "foundation/path_expansion.h"
#include "foundation/paths.h"
#include "foundation/settings.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <tuple>

namespace {

std::string Text(const CVxString& s) {
    return std::string(s.View());
}

CVxString At(const ScratchFolder& folder, const std::string& relative = "") {
    return CVxString(folder.Drive(relative).c_str());
}

const char* kSettings = R"(<?xml version="1.0" encoding="utf-8"?>
<!-- written by hand -->
<values>
  <ColorTransforms>
    <LUTPath1>"D:\luts"</LUTPath1>
    <!-- the second folder -->
    <LUTPath2 >  "E:\more luts"  </lutpath2 >
    <AlwaysUpsampleToPoT>"maybe"</AlwaysUpsampleToPoT>
  </ColorTransforms>
  <Size>"12x"</Size>
  <Size2>"12"</Size2>
  <Size2>"13"</Size2>
  <Empty></Empty>
  <Blank>""</Blank>
</values>
<Other><Key>"outside"</Key></Other>
<values2><Key>"also outside"</Key></values2>
)";

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

TEST(Paths, ExistenceAndListings) {
    ScratchFolder folder;
    for (const char* name : {"A.LOOK", "b.Lut", "c.look.look", ".hidden.look", "x.txt"})
        folder.Write(name, "");
    folder.Folder("sub.look");
    SystemFileAccess files;

    EXPECT_TRUE(IsFolder(files, At(folder)));
    EXPECT_TRUE(IsFolder(files, At(folder, "SUB.look")));
    EXPECT_FALSE(IsFolder(files, At(folder, "x.txt")));
    EXPECT_FALSE(IsFolder(files, At(folder, "*.look")));
    EXPECT_TRUE(FileExists(files, At(folder, ".hidden.look")));
    EXPECT_TRUE(FileExists(files, At(folder, "a.look")));
    EXPECT_FALSE(FileExists(files, At(folder, "sub.look")));
    EXPECT_FALSE(FileExists(files, At(folder, "*.txt")));

    const std::tuple<const char*, bool, std::vector<std::string>> cases[] = {
        {"*.look;*.lut", false, {"A.LOOK", "b.Lut", "sub.look/"}},
        {"*.look", true, {".hidden.look", "A.LOOK", "sub.look/"}},
        {"*.*", false, {"./", "../", "A.LOOK", "b.Lut", "c.look.look", "sub.look/", "x.txt"}},
    };
    for (const auto& [pattern, hidden, expected] : cases) {
        std::vector<FolderEntry> entries;
        EXPECT_TRUE(files.ListFolder(At(folder, pattern), hidden, entries)) << pattern;
        std::vector<std::string> names;
        for (const FolderEntry& entry : entries) {
            names.push_back(Text(entry.name) + (entry.isFolder ? "/" : ""));
            EXPECT_EQ(Text(entry.fullPath), Text(At(folder, Text(entry.name))));
        }
        EXPECT_EQ(names, expected) << pattern;
    }
    std::vector<FolderEntry> entries;
    EXPECT_EQ(files.ListFolder("C:\\*.*", true, entries).cause, "No such file or directory");
    EXPECT_TRUE(entries.empty());
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
    EXPECT_EQ(ReadTextFile(files, At(folder, "none.txt"), text).cause, "No such file or directory");
    EXPECT_TRUE(text.IsEmpty());
    CVxString bytes;
    EXPECT_TRUE(files.ReadFile(At(folder, "zero.bin"), bytes, 5));
    EXPECT_EQ(bytes.View(), std::string_view("ab\0cd", 5));
    const FileStatus tooLarge = files.ReadFile(At(folder, "zero.bin"), bytes, 4);
    EXPECT_EQ(std::pair(tooLarge.error, tooLarge.cause),
              std::pair(EFBIG, std::string("larger than 4 bytes")));
    EXPECT_TRUE(bytes.IsEmpty());
}

TEST(Settings, DottedKeysBelowTheRoot) {
    SettingsStore store("Z:/nowhere/settings.xml", "values");
    EXPECT_EQ(Text(store.FilePath()), "Z:\\nowhere\\settings.xml");
    ASSERT_TRUE(store.LoadText(kSettings));
    EXPECT_EQ(Text(store.GetString("ColorTransforms.LUTPath1", "")), "D:\\luts");
    EXPECT_EQ(Text(store.GetString("colortransforms.lutpath1", "")), "D:\\luts");
    EXPECT_EQ(Text(store.GetString("ColorTransforms.LUTPath2", "")), "E:\\more luts");
    EXPECT_EQ(Text(store.GetString("Size2", "")), "13");
    EXPECT_EQ(store.GetInt64("Size", 0), 12); // no check for what follows the digits
    EXPECT_EQ(store.GetInt64("Blank", -7), -7);
    EXPECT_EQ(store.GetUInt64("Blank", 7), 7u);
    for (const char* absent : {"Other.Key", "Key", "values.Size2", "Empty"})
        EXPECT_EQ(Text(store.GetString(absent, "-")), "-") << absent;
    EXPECT_EQ(Text(store.GetString("Size", "-")), "12x"); // plain getters change nothing
    EXPECT_FALSE(store.GetBoolRecorded("ColorTransforms.AlwaysUpsampleToPoT", false));
    EXPECT_EQ(Text(store.GetString("ColorTransforms.AlwaysUpsampleToPoT", "")), "0");
    EXPECT_TRUE(store.GetBoolRecorded("Missing.Flag", true));
    EXPECT_EQ(Text(store.GetString("missing.flag", "")), "1");
    // A default beyond the signed 64-bit range must read back unchanged.
    EXPECT_EQ(store.GetUInt64Recorded("Big", UINT64_MAX), UINT64_MAX);
    EXPECT_EQ(store.GetUInt64Recorded("Big", 0), UINT64_MAX);
    SystemFileAccess files;
    EXPECT_FALSE(SettingsStore("Z:\\no\\such\\file.xml", "values").Load(files));
}

TEST(Settings, MalformedTextFails) {
    for (const char* text : {"", "<values></values>", "<values><_a-1>\"x\"</_A-1></values>",
                             "<values ><a >\"x\"  </a\t></values\n>",
                             "<?xml?><values>\n<a>\"x\"</a>\n</values>\n<!-- end -->",
                             "<values><a><b>\"x\"</b><!-- c --></a></values>"})
        EXPECT_TRUE(SettingsStore("", "values").LoadText(text)) << text;
    for (const char* text :
         {"<values><a>x</a></values>", "<values><a>\"x</a></values>",
          "<values><a>\"x\"</b></values>", "<values><a>\"x\"<b>\"y\"</b></a></values>",
          "<1a>\"x\"</1a>", "<values><a b=\"1\">\"x\"</a></values>", "<values><a/></values>",
          "<values><a>\"x\"</a>", "<values><a.b>\"x\"</a.b></values>",
          "<values><a>\"x\"<!-- c --></a></values>", "</values>", "text"}) {
        SettingsStore store("", "values");
        EXPECT_FALSE(store.LoadText(text)) << text;
        // Nothing read before the fault is kept.
        EXPECT_EQ(Text(store.GetString("a", "-")), "-") << text;
    }
}

TEST(Settings, ExpandPath) {
    ::setenv("GS_ROOT", "Z:/data", 1);
    ::setenv("GS_SELF", "a%GS_SELF%b", 1);
    ::setenv("GS_PING", "%GS_PONG%", 1);
    ::setenv("GS_PONG", "<%GS_PING%>", 1);
    ::setenv("GS_NESTED", "%GS_ROOT%/n", 1);
    ::unsetenv("GS_UNSET");
    // Texts, whether slashes become backslashes, and the expanded texts.
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"%GS_SELF%", false, "ab"},   {"%GS_ROOT%/x", true, "Z:/data\\x"},
        {"%GS_PING%", false, "<>"},   {"%GS_ROOT%/x", false, "Z:/data/x"},
        {"%0x", false, "0x"},         {"%gs_root%;%GS_ROOT%", false, "Z:/data;Z:/data"},
        {"%GS_UNSET%x", false, "x"},  {"%GS_NESTED%", false, "Z:/data/n"},
        {"50%", false, "50"},         {"shot_%04d.dpx", false, "shot_#.dpx"},
        {"%015d-%01d", false, "#-#"},
    };
    for (const auto& [text, slashes, expanded] : cases) {
        CVxString path(text);
        ExpandPath(path, slashes);
        EXPECT_EQ(Text(path), expanded) << text;
    }
}

TEST(Settings, StartUpLogsWhenItsFolderExists) {
    // A base folder of its own, so that no other test program logs into the same file.
    ScratchFolder base;
    base.Folder("log");
    SystemFileAccess files;
    Settings settings(files, base.Drive().c_str());
    std::string userFile = Text(settings.UserStore().FilePath());
    EXPECT_EQ(base.Read("log/Generic.log"),
              "[GlobalSettings] Loading user settings from " + userFile +
                  "\n[GlobalSettings] Failed to load user settings, using default "
                  "values.\n");
}
