#pragma once

#include "foundation/file_access.h"
#include "lut/lut_folder_index.h"

#include <cstdint>

// The largest LUT file that Load reads (200 MiB); a larger one does not load.
inline constexpr uint32_t kLargestLutFile = 209715200;

// What reading LUT files needs of a run: its file access, its index of the LUT
// folders, and whether every LUT is upsampled to a power-of-two size
// ("ColorTransforms.AlwaysUpsampleToPoT").
struct LutFiles {
    FileAccess& files;
    const LutFolderIndex& folders;
    bool alwaysUpsample = false;

    // LutFolderIndex::Resolve over the run's files.
    CVxString Resolve(const CVxString& name, const CVxString& folder = CVxString(),
                      ELutNameOrder order = ELutNameOrder::eIndexFirst,
                      const CVxString& lastFolder = CVxString()) const {
        return folders.Resolve(files, name, folder, order, lastFolder);
    }
};
