#include "render/base_shader_definition.h"
#include "render/shader_registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(ShaderRegistry, ScansSubfoldersExceptLegacy) {
    const fs::path root = fs::path(GRADESHIFT_BINARY_DIR) / "test_shader_registry" / "shaders";
    fs::remove_all(root.parent_path());
    WriteFile(root / "Grades" / "warm.vxtp",
              "<shader name=\"Studio.Warm\">\n<extern name=\"amount\" default=\"1\"/>\n"
              "</shader>\n  per-pixel stage  \n");
    WriteFile(root / "Grades" / "cool.afp", "<Shader Name=Studio.Cool></Shader>");
    WriteFile(root / "Grades" / "unnamed.nfp", "<shader secondpass=\"x\">");
    WriteFile(root / "Grades" / "garbage.nfp", "no markup at all");
    WriteFile(root / "Grades" / "notes.txt", "<shader name=\"Studio.Text\">");
    WriteFile(root / "LEGACY" / "old.vxtp", "<shader name=\"Old.One\">");
    WriteFile(root / "top.vxtp", "<shader name=\"Top.Level\">");

    CVxShaderRegistry registry(CVxString(root.string().c_str()));
    EXPECT_EQ(registry.Packages(CVxShaderRegistry::EPackageKind::eVxtp).size(), 1u);
    EXPECT_EQ(registry.Packages(CVxShaderRegistry::EPackageKind::eAfp).size(), 1u);
    ASSERT_EQ(registry.Packages(CVxShaderRegistry::EPackageKind::eNfp).size(), 1u);
    EXPECT_STREQ(registry.Packages(CVxShaderRegistry::EPackageKind::eNfp)[0].name.c_str(),
                 "unnamed");

    const ShaderPackage* warm = registry.Find("STUDIO.WARM");
    ASSERT_NE(warm, nullptr);
    EXPECT_STREQ(warm->stage.c_str(), "per-pixel stage");
    EXPECT_TRUE(warm->folder.EndsWith("\\Grades\\"));
    EXPECT_TRUE(CVxString(warm->definition).EndsWith("</shader>"));
    EXPECT_NE(registry.Find("studio.cool"), nullptr);
    EXPECT_EQ(registry.Find("Old.One"), nullptr);
    EXPECT_EQ(registry.Find("Top.Level"), nullptr);
    EXPECT_EQ(registry.Find("Studio.Text"), nullptr);

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

    CVxShaderRegistry missing(CVxString((root / "nowhere").string().c_str()));
    for (auto kind : {CVxShaderRegistry::EPackageKind::eVxtp, CVxShaderRegistry::EPackageKind::eAfp,
                      CVxShaderRegistry::EPackageKind::eNfp})
        EXPECT_TRUE(missing.Packages(kind).empty());
    fs::remove_all(root.parent_path());
}

} // namespace
