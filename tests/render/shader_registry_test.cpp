#include "render/base_shader_definition.h"
#include "render/shader_registry.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

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

    CVxShaderRegistry registry(CVxString(root.Drive().c_str()));
    const ShaderPackage* warm = registry.Find("STUDIO.WARM");
    ASSERT_NE(warm, nullptr);
    EXPECT_STREQ(warm->stage.c_str(), "per-pixel stage");
    EXPECT_TRUE(warm->folder.EndsWith("\\Grades\\"));
    EXPECT_TRUE(CVxString(warm->definition).EndsWith("</shader >"));
    // A package without a name is known by its file name.
    for (const char* present : {"studio.cool", "Unnamed"})
        EXPECT_NE(registry.Find(present), nullptr) << present;
    for (const char* absent : {"Old.One", "Top.Level", "Studio.Text", "Commented.Out", "garbage"})
        EXPECT_EQ(registry.Find(absent), nullptr) << absent;

    const struct {
        const char* name;
        bool found;
        bool builtIn;
    } sources[] = {
        {"Studio.Warm", true, false},  {"VEXLAN.Base.1", true, true},
        {"vexlan.base.2", true, true}, {"VEXLAN.LUT.3D", false, false},
        {"VEXLAN.Base", false, false},
    };
    for (const auto& c : sources) {
        ShaderSource source;
        EXPECT_EQ(registry.FindSource(c.name, source), c.found) << c.name;
        if (!c.found)
            continue;
        EXPECT_EQ(source.builtIn, c.builtIn) << c.name;
        if (c.builtIn) {
            EXPECT_EQ(source.definition, &BaseShaderDefinitionText(true));
        }
    }
    EXPECT_EQ(CVxShaderRegistry(CVxString(root.Drive("nowhere").c_str())).Find("Studio.Warm"),
              nullptr);
}

} // namespace
