#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// One shader found in the shader folder.
struct ShaderPackage {
    CVxString name;       // the `shader` element's name
    CVxString path;       // the package file
    CVxString folder;     // its folder, with a trailing backslash (for relative LUT names)
    CVxString definition; // the definition markup, up to and including </shader>
    CVxString stage;      // what follows the definition: the per-pixel stage, may be empty
};

// Where a layer's shader definition comes from: a package or the built-in base text.
struct ShaderSource {
    const CVxString* definition = nullptr;
    const CVxString* stage = nullptr; // null for the built-in base shaders
    CVxString packageFolder;          // empty for the built-in base shaders
    bool builtIn = false;
};

class Settings;

// The shader packages in the subfolders of the shader folder ("ShadersPath"),
// one list per kind of package file, scanned once for a run.
class CVxShaderRegistry {
public:
    enum class EPackageKind : uint8_t { eVxtp, eAfp, eNfp };
    static constexpr size_t kPackageKinds = 3;

    CVxShaderRegistry(FileAccess& files, const CVxString& shaderFolder);

    // The configured folder: "ShadersPath" expanded, relative to the base
    // folder unless absolute, default base folder + "shaders"; ends with a backslash.
    static CVxString ConfiguredFolder(Settings& settings);

    const CVxString& Folder() const { return m_folder; }
    const std::vector<ShaderPackage>& Packages(EPackageKind kind) const {
        return m_packages[static_cast<size_t>(kind)];
    }
    // By name, in any letter case; the kinds are searched in the order vxtp, afp, nfp.
    const ShaderPackage* Find(const CVxString& shaderName) const;

    // A registered shader, or for an unregistered "VEXLAN.Base." name the
    // built-in base definition with its script. False when neither applies.
    bool FindSource(const CVxString& shaderName, ShaderSource& source) const;

private:
    void ScanSubfolder(FileAccess& files, const CVxString& subfolder);

    CVxString m_folder;
    std::vector<ShaderPackage> m_packages[kPackageKinds];
};

// Splits a package file's text into its definition and the stage text after
// it, and reads the shader name. False when the text holds no `shader` element.
bool ReadShaderPackage(const CVxString& text, ShaderPackage& package);
