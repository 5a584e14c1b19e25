#include "render/shader_registry.h"

#include "foundation/directory_scan.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "platform/ascii.h"
#include "render/base_shader_definition.h"

#include <string>
#include <string_view>

namespace {

const char* const kPackagePatterns[CVxShaderRegistry::ePackageKinds] = {"*.vxtp", "*.afp", "*.nfp"};

// Position of the `shader` start tag, or npos.
size_t FindShaderTag(const std::string& upper) {
    for (size_t at = upper.find("<SHADER"); at != std::string::npos;
         at = upper.find("<SHADER", at + 1)) {
        char next = at + 7 < upper.size() ? upper[at + 7] : '\0';
        if (ascii::IsBlankOrBreak(next) || next == '>' || next == '/')
            return at;
    }
    return std::string::npos;
}

// The value of the `name` attribute within one start tag.
CVxString NameAttribute(std::string_view tag) {
    std::string upper = ascii::UpperCopy(tag);
    for (size_t at = upper.find("NAME"); at != std::string::npos; at = upper.find("NAME", at + 1)) {
        if (at == 0 || !ascii::IsBlankOrBreak(upper[at - 1]))
            continue;
        size_t p = at + 4;
        while (p < tag.size() && ascii::IsBlankOrBreak(tag[p]))
            ++p;
        if (p >= tag.size() || tag[p] != '=')
            continue;
        ++p;
        while (p < tag.size() && ascii::IsBlankOrBreak(tag[p]))
            ++p;
        size_t start = p, end;
        if (p < tag.size() && tag[p] == '"') {
            start = p + 1;
            end = tag.find('"', start);
            if (end == std::string_view::npos)
                end = tag.size();
        } else {
            end = start;
            while (end < tag.size() && !ascii::IsBlankOrBreak(tag[end]) && tag[end] != '>' &&
                   tag[end] != '/')
                ++end;
        }
        return CVxString(tag.data() + start, static_cast<uint32_t>(end - start));
    }
    return CVxString();
}

} // namespace

bool ReadShaderPackage(const CVxString& text, CVxShaderPackage& package) {
    std::string_view view(text.c_str(), text.Length());
    std::string upper = ascii::UpperCopy(view);
    size_t tag = FindShaderTag(upper);
    if (tag == std::string::npos)
        return false;
    size_t tagEnd = view.find('>', tag);
    if (tagEnd == std::string_view::npos)
        tagEnd = view.size();
    package.name = NameAttribute(view.substr(tag + 7, tagEnd - tag - 7));
    package.name.Trim();

    size_t close = upper.find("</SHADER>", tag);
    size_t definitionEnd = close == std::string::npos ? view.size() : close + 9;
    package.definition = CVxString(view.data(), static_cast<uint32_t>(definitionEnd));
    package.stage =
        CVxString(view.data() + definitionEnd, static_cast<uint32_t>(view.size() - definitionEnd));
    package.stage.Trim();
    return true;
}

CVxShaderRegistry& CVxShaderRegistry::Get() {
    static CVxShaderRegistry registry(ConfiguredFolder());
    return registry;
}

CVxString CVxShaderRegistry::ConfiguredFolder() {
    CVxGlobalSettings& settings = GlobalSettings();
    CVxString folder = settings.GlobalStore().GetString("ShadersPath", CVxString("shaders"));
    folder.ExpandPath(true);
    if (!IsAbsolutePath(folder))
        folder = settings.BaseFolder() + folder;
    if (!folder.EndsWith("\\"))
        folder.Append('\\');
    return folder;
}

CVxShaderRegistry::CVxShaderRegistry(const CVxString& shaderFolder) : m_folder(shaderFolder) {
    m_folder.SlashesToBackslashes();
    if (!m_folder.IsEmpty() && !m_folder.EndsWith("\\"))
        m_folder.Append('\\');
    // A missing folder simply lists nothing.
    CVxDirectoryScan scan(m_folder + "*", false);
    while (scan.Next()) {
        const CVxString& name = scan.Name();
        if (!scan.IsDirectory() || name == "." || name == ".." || name.EqualsNoCase("Legacy"))
            continue;
        ScanSubfolder(scan.FullPath() + "\\");
    }
}

void CVxShaderRegistry::ScanSubfolder(const CVxString& subfolder) {
    for (int kind = 0; kind < ePackageKinds; ++kind) {
        CVxDirectoryScan scan(subfolder + kPackagePatterns[kind], false);
        while (scan.Next()) {
            if (scan.IsDirectory())
                continue;
            CVxShaderPackage package;
            package.path = scan.FullPath();
            package.folder = subfolder;
            CVxString text;
            if (!text.ReadTextFile(package.path, true) || !ReadShaderPackage(text, package))
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

const CVxShaderPackage* CVxShaderRegistry::Find(const CVxString& shaderName) const {
    for (const std::vector<CVxShaderPackage>& packages : m_packages)
        for (const CVxShaderPackage& package : packages)
            if (package.name.EqualsNoCase(shaderName.c_str()))
                return &package;
    return nullptr;
}

bool CVxShaderRegistry::FindSource(const CVxString& shaderName, CVxShaderSource& source) const {
    if (const CVxShaderPackage* package = Find(shaderName)) {
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
