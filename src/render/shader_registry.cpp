#include "render/shader_registry.h"

#include "foundation/path_expansion.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "platform/ascii.h"
#include "render/base_shader_definition.h"
#include "render/definition_markup.h"

#include <string_view>

namespace {

const char* const kPackagePatterns[CVxShaderRegistry::kPackageKinds] = {"*.vxtp", "*.afp", "*.nfp"};

} // namespace

bool ReadShaderPackage(const CVxString& text, ShaderPackage& package) {
    DefinitionMarkup markup(text.c_str(), text.Length());
    DefinitionElement element;
    while (markup.Next(element)) {
        if (!ascii::EqualsNoCase(element.name, "shader"))
            continue;
        const std::string_view name = element.Get("name");
        package.name = CVxString(name.data(), static_cast<uint32_t>(name.size()));
        package.name.Trim();
        markup.TakeContentUntilEndTag(element.name);
        const uint32_t definitionLength = static_cast<uint32_t>(markup.Position() - text.c_str());
        package.definition = CVxString(text.c_str(), definitionLength);
        package.stage = CVxString(markup.Position(), text.Length() - definitionLength);
        package.stage.Trim();
        return true;
    }
    return false;
}

CVxString CVxShaderRegistry::ConfiguredFolder(Settings& settings) {
    CVxString folder = settings.GlobalStore().GetString("ShadersPath", CVxString("shaders"));
    ExpandPath(folder, true);
    if (!IsAbsolutePath(folder))
        folder = settings.BaseFolder() + folder;
    if (!folder.EndsWith("\\"))
        folder.Append('\\');
    return folder;
}

CVxShaderRegistry::CVxShaderRegistry(FileAccess& files, const CVxString& shaderFolder)
    : m_folder(shaderFolder) {
    m_folder.SlashesToBackslashes();
    if (!m_folder.IsEmpty() && !m_folder.EndsWith("\\"))
        m_folder.Append('\\');
    // A missing folder simply lists nothing.
    std::vector<FolderEntry> entries;
    files.ListFolder(m_folder + "*", false, entries);
    for (const FolderEntry& entry : entries) {
        const CVxString& name = entry.name;
        if (!entry.isFolder || name == "." || name == ".." || name.EqualsNoCase("Legacy"))
            continue;
        ScanSubfolder(files, entry.fullPath + "\\");
    }
}

void CVxShaderRegistry::ScanSubfolder(FileAccess& files, const CVxString& subfolder) {
    for (size_t kind = 0; kind < kPackageKinds; ++kind) {
        std::vector<FolderEntry> entries;
        files.ListFolder(subfolder + kPackagePatterns[kind], false, entries);
        for (const FolderEntry& entry : entries) {
            if (entry.isFolder)
                continue;
            ShaderPackage package;
            package.path = entry.fullPath;
            package.folder = subfolder;
            CVxString text;
            if (!ReadTextFile(files, package.path, text, true) || !ReadShaderPackage(text, package))
                continue;
            if (package.name.IsEmpty()) {
                CVxString baseName;
                SplitPath(package.path, nullptr, nullptr, &baseName, nullptr);
                package.name = baseName;
            }
            m_packages[kind].push_back(package);
        }
    }
}

const ShaderPackage* CVxShaderRegistry::Find(const CVxString& shaderName) const {
    for (const std::vector<ShaderPackage>& packages : m_packages)
        for (const ShaderPackage& package : packages)
            if (package.name.EqualsNoCase(shaderName.c_str()))
                return &package;
    return nullptr;
}

bool CVxShaderRegistry::FindSource(const CVxString& shaderName, ShaderSource& source) const {
    if (const ShaderPackage* package = Find(shaderName)) {
        source.definition = &package->definition;
        source.stage = &package->stage;
        source.packageFolder = package->folder;
        source.builtIn = false;
        return true;
    }
    if (!IsBaseShaderName(shaderName))
        return false;
    source.definition = &BaseShaderDefinitionText(true);
    source.stage = nullptr;
    source.packageFolder.Empty();
    source.builtIn = true;
    return true;
}
