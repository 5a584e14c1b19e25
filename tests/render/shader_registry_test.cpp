#include "render/base_shader_definition.h"
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

} // namespace
