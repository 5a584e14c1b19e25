// The module's side of the seam of ocio_module.h, built only into the module
// with ocio_reader.cpp and ocio_writer.cpp. There the names of ocio_reader.h
// and the OpenColorIO writer carry a prefix of their own (see CMakeLists.txt),
// so that nothing of the module is taken for the program's functions of the
// same name, which load the module and call it.
#include "lut/ocio_module.h"
#include "lut/ocio_reader.h"

#include "lut/lut_format_registry.h"

#include "foundation/parallel_bands.h"

#include <new>

namespace {

const OcioHostFunctions* g_host = nullptr;

const OcioFileTransform& TransformOf(const void* transform) {
    return *static_cast<const OcioFileTransform*>(transform);
}

void* Open(FileAccess& files, const CVxString& path, std::string& failure) {
    OcioFileTransform* transform = new (std::nothrow) OcioFileTransform();
    if (transform && !transform->Open(files, path)) {
        failure = transform->Failure();
        delete transform;
        return nullptr;
    }
    return transform;
}

void Close(void* transform) {
    delete static_cast<OcioFileTransform*>(transform);
}

uint32_t CorrectionCount(const void* transform) {
    return TransformOf(transform).CorrectionCount();
}

const std::string& CorrectionId(const void* transform) {
    return TransformOf(transform).CorrectionId();
}

bool Apply(const void* transform, float* rgb, size_t count) {
    return TransformOf(transform).Apply(rgb, count);
}

bool ApplyToLattice(const void* transform, uint32_t n, float* rgb) {
    return TransformOf(transform).ApplyToLattice(n, rgb);
}

bool FillLut(const void* transform, CVxLUT& lut, bool powerOfTwo,
             CVxLUT::EDimensionRequirement requirement) {
    return TransformOf(transform).FillLut(lut, powerOfTwo, requirement);
}

} // namespace

// The program's functions that the module's code calls.

bool ListsCorrections(const CVxString& path) {
    return g_host->listsCorrections(path);
}

uint32_t DefaultThreadCount() {
    return g_host->defaultThreadCount();
}

void ParallelBands(uint32_t count, uint32_t threadCount,
                   const std::function<void(uint32_t, uint32_t, uint32_t)>& work) {
    g_host->parallelBands(count, threadCount, work);
}

bool LutTable::HasUnitDomain() const {
    return g_host->tableHasUnitDomain(*this);
}

extern "C" __attribute__((visibility("default"))) const OcioModuleFunctions*
GradeshiftOcioModule(const OcioHostFunctions* host) {
    static constexpr OcioModuleFunctions kFunctions = {
        .version = kOcioModuleVersion,
        .clearCaches = ClearOcioCaches,
        .open = Open,
        .close = Close,
        .correctionCount = CorrectionCount,
        .correctionId = CorrectionId,
        .apply = Apply,
        .applyToLattice = ApplyToLattice,
        .fillLut = FillLut,
        .write = WriteOcioLut,
    };
    g_host = host;
    return &kFunctions;
}
