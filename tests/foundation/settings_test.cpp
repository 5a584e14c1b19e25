#include "foundation/path_expansion.h"
#include "foundation/settings.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

std::string Text(const CVxString& s) {
    return std::string(s.View());
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
