#include "render/base_shader_definition.h"
#include "render/resource_archive.h"
#include "render/shader_registry.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ShaderRegistry, ScansSubfoldersExceptLegacy) {
    ScratchFolder root;
    root.Write("Grades/warm.vxtp",
               "<!-- <shader name=\"Commented.Out\"> -->\n<shader name=\"Studio.Warm\">\n"
               "<extern name=\"amount\" default=\"1\"/>\n</shader >\n  per-pixel stage  \n");
    root.Write("Grades/cool.afp", "<Shader Name=Studio.Cool></Shader>");
    root.Write("Grades/unnamed.nfp", "<shader secondpass=\"x\">");
    root.Write("Grades/garbage.nfp", "no markup at all");
    root.Write("Grades/notes.txt", "<shader name=\"Studio.Text\">");
    root.Write("LEGACY/old.vxtp", "<shader name=\"Old.One\">");
    root.Write("top.vxtp", "<shader name=\"Top.Level\">");

    SystemFileAccess files;
    CVxShaderRegistry registry(files, CVxString(root.Drive().c_str()));
    const ShaderPackage* warm = registry.Find("STUDIO.WARM");
    ASSERT_NE(warm, nullptr);
    EXPECT_STREQ(warm->stage.c_str(), "per-pixel stage");
    EXPECT_TRUE(warm->folder.EndsWith("\\Grades\\"));
    EXPECT_TRUE(CVxString(warm->definition).EndsWith("</shader >"));
    // A package without a name is known by its file name; the base shaders are built in.
    std::string found;
    for (const char* name :
         {"studio.cool", "Unnamed", "Old.One", "Top.Level", "Studio.Text", "Commented.Out",
          "garbage", "VEXLAN.Base.1", "vexlan.base.2", "VEXLAN.LUT.3D", "VEXLAN.Base"}) {
        ShaderSource source;
        if (registry.FindSource(name, source))
            found += std::string(name) + (source.builtIn ? " (built in) " : " ");
        EXPECT_EQ(source.builtIn, source.definition == &BaseShaderDefinitionText(true)) << name;
    }
    EXPECT_EQ(found, "studio.cool Unnamed VEXLAN.Base.1 (built in) vexlan.base.2 (built in) ");
    EXPECT_EQ(
        CVxShaderRegistry(files, CVxString(root.Drive("nowhere").c_str())).Find("Studio.Warm"),
        nullptr);
}

std::string Word(uint32_t value) {
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

// Header, one directory entry (tag, the name "a" padded to 32 bytes, data
// offset), then `dataBytes` bytes counting up from 0.
std::string ArchiveBytes(uint32_t version, uint32_t announced, const char* tag, uint32_t offset,
                         size_t dataBytes) {
    std::string out =
        "VXRF" + Word(version) + Word(announced) + tag + "a" + std::string(31, '\0') + Word(offset);
    for (size_t i = 0; i < dataBytes; ++i)
        out.push_back(static_cast<char>(i));
    return out;
}

// The program only asks whether its archive opens: a file of our format with
// at least one entry in its directory. A missing file or one without entries
// is left to the program's start-up tests.
TEST(ResourceArchive, OpensOnlyOurFormatWithEntries) {
    ScratchFolder folder;
    const struct {
        const char* label;
        std::string bytes;
        bool opens;
    } cases[] = {
        {"one entry", ArchiveBytes(100, 1, "DATA", 52, 8), true},
        {"a font", ArchiveBytes(100, 1, "FONT", 52, 8), true},
        // The directory ends with the file; the entries read so far count.
        {"fewer entries than announced", ArchiveBytes(100, 3, "DATA", 200, 0), true},
        {"billions announced", ArchiveBytes(100, 0xFFFFFFFFu, "DATA", 52, 0), true},
        {"empty", "", false},
        {"short header", std::string("VXRF\x64\x00", 6), false},
        {"version 99", ArchiveBytes(99, 1, "DATA", 52, 8), false},
        {"version 101", ArchiveBytes(101, 1, "DATA", 52, 8), false},
        {"foreign magic", "FRXV" + ArchiveBytes(100, 1, "DATA", 52, 8).substr(4), false},
    };
    int index = 0;
    SystemFileAccess files;
    for (const auto& c : cases) {
        const std::string path = folder.Write("case" + std::to_string(index++), c.bytes);
        EXPECT_EQ(ResourceArchive::Open(files, CVxString(path.c_str())) != nullptr, c.opens)
            << c.label;
    }
}

} // namespace
