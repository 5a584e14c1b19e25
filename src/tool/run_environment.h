#pragma once

#include "foundation/file_access.h"
#include "foundation/settings.h"
#include "lut/lut_folder_index.h"
#include "render/resource_archive.h"
#include "render/shader_registry.h"

#include <memory>

// What a run builds once, before its first file, and hands down to every file:
// the installation's settings and resource archive, the index of its LUT
// folders and its shaders.
// Every file of the run, on whatever thread, sees the same of each.
class RunEnvironment {
public:
    // Reads the settings and the resource archive around the program, and lists
    // the LUT and shader folders.
    explicit RunEnvironment(FileAccess& files);
    // The same around a given base folder (ending in a backslash), for a host
    // that is not the program, such as the Python module.
    RunEnvironment(FileAccess& files, const CVxString& baseFolder);

    Settings& InstallationSettings() { return m_settings; }
    // Null when the installation has no archive of our format with entries.
    const ResourceArchive* Resources() const { return m_resources.get(); }
    const LutFolderIndex& LutFolders() const { return m_lutFolders; }
    const CVxShaderRegistry& Shaders() const { return m_shaders; }
    // "ColorTransforms.AlwaysUpsampleToPoT": every LUT read is upsampled to a power of two.
    bool AlwaysUpsample() const { return m_alwaysUpsample; }

private:
    Settings m_settings;
    std::unique_ptr<ResourceArchive> m_resources;
    LutFolderIndex m_lutFolders;
    bool m_alwaysUpsample = false;
    CVxShaderRegistry m_shaders;
};
