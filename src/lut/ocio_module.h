#pragma once

#include "lut/lut.h"
#include "lut/lut_writers.h"

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The seam between the lut layer and the shared module that holds every use of
// OpenColorIO (lib/gradeshift/libgradeshift_ocio.so beside the program's bin/).
// A run loads the module, and OpenColorIO with it, only when it first reads
// or writes a format of OpenColorIO's. Both sides are built together from
// these declarations: a module of another build is refused by its version.

inline constexpr uint32_t kOcioModuleVersion = 3;
inline constexpr const char* kOcioModuleEntry = "GradeshiftOcioModule";

// What the module takes from the program: the functions whose state the
// program keeps (the cores it shares out) or whose code it need not repeat.
struct OcioHostFunctions {
    bool (*listsCorrections)(const CVxString& path);
    uint32_t (*defaultThreadCount)();
    void (*parallelBands)(uint32_t count, uint32_t threadCount,
                          const std::function<void(uint32_t, uint32_t, uint32_t)>& work);
    bool (*tableHasUnitDomain)(const LutTable& table);
};

// What the module gives: the functions of ocio_reader.h and the OpenColorIO
// writer, over transforms it owns.
struct OcioModuleFunctions {
    uint32_t version;
    void (*clearCaches)();
    // An open transform of the file, or null when OpenColorIO cannot read it,
    // with OpenColorIO's reason in `failure`.
    void* (*open)(FileAccess& files, const CVxString& path, std::string& failure);
    void (*close)(void* transform);
    uint32_t (*correctionCount)(const void* transform);
    const std::string& (*correctionId)(const void* transform);
    bool (*apply)(const void* transform, float* rgb, size_t count);
    bool (*applyToLattice)(const void* transform, uint32_t n, float* rgb);
    bool (*fillLut)(const void* transform, CVxLUT& lut, bool powerOfTwo,
                    CVxLUT::EDimensionRequirement requirement);
    bool (*write)(const OcioWriting& how, const LutToWrite& lut, ByteSink& out);
};

// The module's one exported function, named kOcioModuleEntry.
using OcioModuleEntry = const OcioModuleFunctions*(const OcioHostFunctions* host);
