#include "tool/run_environment.h"

namespace {

LutFolderIndex IndexLutFolders(FileAccess& files, Settings& settings) {
    SettingsStore& store = settings.UserStore();
    const CVxString folders[2] = {store.GetString("ColorTransforms.LUTPath1", CVxString()),
                                  store.GetString("ColorTransforms.LUTPath2", CVxString())};
    LutFolderIndex index;
    index.Build(files, folders, 2);
    return index;
}

} // namespace

RunEnvironment::RunEnvironment(FileAccess& files) : RunEnvironment(files, ProgramBaseFolder()) {}

RunEnvironment::RunEnvironment(FileAccess& files, const CVxString& baseFolder)
    : m_settings(files, baseFolder),
      m_resources(ResourceArchive::Open(files, m_settings.ResourceFolder() + "Resources.vxf")),
      m_lutFolders(IndexLutFolders(files, m_settings)),
      m_alwaysUpsample(
          m_settings.UserStore().GetBoolRecorded("ColorTransforms.AlwaysUpsampleToPoT", false)),
      m_shaders(files, CVxShaderRegistry::ConfiguredFolder(m_settings)) {}
