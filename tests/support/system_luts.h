#pragma once

#include "foundation/file_access.h"
#include "lut/lut_files.h"
#include "lut/lut_folder_index.h"

// LUT reading over the machine's own files, for tests and tools that read LUT
// files outside a run: no LUT folders unless some are indexed, no upsampling
// unless asked for.
struct SystemLuts {
    SystemFileAccess files;
    LutFolderIndex folders;
    LutFiles source{files, folders, false};

    static const LutFiles& Plain() {
        static SystemLuts luts;
        return luts.source;
    }
};
