// The program's side of the seam of ocio_module.h: the functions of
// ocio_reader.h and the OpenColorIO writer, which load the module on first use
// and call it. A run that never needs OpenColorIO never loads it.
#include "lut/ocio_module.h"
#include "lut/ocio_reader.h"

#include "lut/lut_format_registry.h"

#include "foundation/parallel_bands.h"
#include "platform/shared_object.h"

#include <atomic>
#include <new>

namespace {

constexpr const char* kModuleFile = "libgradeshift_ocio.so";
// From the folder of the file that holds this code: the program's bin/, the
// Python module's lib/python3/dist-packages/, or the folder of a test or
// benchmark program of the build tree (tests/, bench/ or tests/cli/).
constexpr const char* kModuleFolders[] = {"../lib/gradeshift/", "../../gradeshift/",
                                          "../../lib/gradeshift/"};

bool TableHasUnitDomain(const LutTable& table) {
    return table.HasUnitDomain();
}

constexpr OcioHostFunctions kHost = {
    .listsCorrections = ListsCorrections,
    .defaultThreadCount = DefaultThreadCount,
    .parallelBands = ParallelBands,
    .tableHasUnitDomain = TableHasUnitDomain,
};

// Whatever of the file holds this code: its folder is found through it.
const char kAnchor = 0;

// "a/b/c/" and "../x/" give "a/b/x/".
std::string FolderFrom(std::string folder, std::string_view relative) {
    while (relative.starts_with("../") && folder.size() > 1) {
        folder.pop_back();
        folder.resize(folder.rfind('/') + 1);
        relative.remove_prefix(3);
    }
    return folder + std::string(relative);
}

struct LoadedModule {
    const OcioModuleFunctions* functions = nullptr;
    std::string problem;
};

LoadedModule LoadModule() {
    LoadedModule loaded;
    const std::string folder = platform::ObjectFolderSystemPath(&kAnchor);
    if (folder.empty()) {
        loaded.problem = "the folder of the program is unknown";
        return loaded;
    }
    for (const char* relative : kModuleFolders) {
        const std::string path = FolderFrom(folder, relative) + kModuleFile;
        std::string problem;
        void* object = platform::LoadSharedObject(path, problem);
        if (!object) {
            if (loaded.problem.empty())
                loaded.problem = problem;
            continue;
        }
        auto* entry = reinterpret_cast<OcioModuleEntry*>(
            platform::SharedObjectSymbol(object, kOcioModuleEntry));
        const OcioModuleFunctions* functions = entry ? entry(&kHost) : nullptr;
        if (!functions || functions->version != kOcioModuleVersion) {
            loaded.problem = path + " is of another build";
            return loaded;
        }
        loaded.functions = functions;
        loaded.problem.clear();
        return loaded;
    }
    return loaded;
}

// Set once the module is loaded: ClearOcioCaches must not load it.
std::atomic<const OcioModuleFunctions*> g_loaded{nullptr};

const LoadedModule& Module() {
    static const LoadedModule module = [] {
        LoadedModule loaded = LoadModule();
        g_loaded = loaded.functions;
        return loaded;
    }();
    return module;
}

const OcioModuleFunctions* Functions() {
    return Module().functions;
}

} // namespace

std::string OcioUnavailableReason() {
    const LoadedModule& module = Module();
    return module.functions ? std::string() : "OpenColorIO cannot be loaded: " + module.problem;
}

void ClearOcioCaches() {
    if (const OcioModuleFunctions* functions = g_loaded.load())
        functions->clearCaches();
}

struct OcioFileTransform::Impl {
    Impl(const OcioModuleFunctions& module, void* opened) : functions(module), transform(opened) {}
    ~Impl() { functions.close(transform); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    const OcioModuleFunctions& functions;
    void* const transform;
};

OcioFileTransform::OcioFileTransform() = default;

OcioFileTransform::~OcioFileTransform() = default;

bool OcioFileTransform::Open(FileAccess& files, const CVxString& path) {
    m_impl.reset();
    m_failure.clear();
    const OcioModuleFunctions* functions = Functions();
    void* transform = functions ? functions->open(files, path, m_failure) : nullptr;
    if (!transform)
        return false;
    m_impl.reset(new (std::nothrow) Impl(*functions, transform));
    if (!m_impl) {
        functions->close(transform);
        return false;
    }
    return true;
}

uint32_t OcioFileTransform::CorrectionCount() const {
    return m_impl ? m_impl->functions.correctionCount(m_impl->transform) : 0;
}

const std::string& OcioFileTransform::CorrectionId() const {
    static const std::string kNone;
    return m_impl ? m_impl->functions.correctionId(m_impl->transform) : kNone;
}

bool OcioFileTransform::Apply(float* rgb, size_t count) const {
    return m_impl && m_impl->functions.apply(m_impl->transform, rgb, count);
}

bool OcioFileTransform::ApplyToLattice(uint32_t n, float* rgb) const {
    return m_impl && m_impl->functions.applyToLattice(m_impl->transform, n, rgb);
}

bool OcioFileTransform::FillLut(CVxLUT& lut, bool powerOfTwo,
                                CVxLUT::EDimensionRequirement requirement) const {
    if (m_impl)
        return m_impl->functions.fillLut(m_impl->transform, lut, powerOfTwo, requirement);
    lut.DeletePreLUT();
    lut.Clear();
    return false;
}

bool ReadOcioLut(CVxLUT& lut, const LutFiles& source, const CVxString& path, bool upsample,
                 CVxLUT::EDimensionRequirement requirement) {
    OcioFileTransform transform;
    // A transform that did not open fills nothing and leaves the LUT empty.
    transform.Open(source.files, path);
    return transform.FillLut(lut, upsample, requirement);
}

bool CanWriteOcioFormats() {
    return true;
}

bool WriteOcioLut(const OcioWriting& how, const LutToWrite& lut, ByteSink& out) {
    const OcioModuleFunctions* functions = Functions();
    return functions && functions->write(how, lut, out);
}
