#include "lut/ocio_reader.h"

#include "lut/lut_format_registry.h"

#include "foundation/parallel_bands.h"
#include "foundation/paths.h"

#include "lut/ocio_quiet.h"

#include <OpenColorIO/OpenColorIO.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace OCIO = OCIO_NAMESPACE;

#if defined(__SANITIZE_THREAD__)
// OpenColorIO is not built with ThreadSanitizer, which sees its calls into the
// C library but not the guard of a function-local static that another thread
// initialised, so that the first use of each such static reads as a race. A
// race of which one side runs inside OpenColorIO is not reported; a race
// between accesses of our own is.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libOpenColorIO.so\n";
}
#endif

namespace {

using EDimensionRequirement = CVxLUT::EDimensionRequirement;

// 1D tables and pre-LUTs take the most entries a table may hold: linear
// interpolation between them keeps even a 0.45 power curve within 0.002 of
// the file next to 0, and every node of a 256-point look falls on an entry.
constexpr uint32_t kTableEntries = 65536;
// Lattice sizes, measured against OpenColorIO at every node of looks of 8 to
// 256 points. After a pre-LUT the lattice mostly holds a saturation, a matrix
// or a 3D LUT behind a shaper: 65 points put a node on every node of a 3D LUT
// of 9, 17, 33 or 65 points, which is then reproduced exactly. A lattice that
// holds the whole transform also holds its curves: 129 points keep a 0.8
// power behind a 3D LUT within 0.002. One point less where a power of two is
// asked for.
constexpr uint32_t kLatticeAfterPreLut = 65;
constexpr uint32_t kWholeLattice = 129;
// Smaller lattices are not worth a thread.
constexpr uint32_t kParallelFromSize = 33;

// The one configuration of every file: OpenColorIO's raw one, parsed once
// rather than for every file. Its processor cache stays off, so that
// ClearOcioCaches alone decides what a run reuses. A configuration may build
// processors on several threads at once.
const OCIO::ConstConfigRcPtr& RawConfig() {
    static const OCIO::ConstConfigRcPtr config = [] {
        OCIO::ConfigRcPtr raw = OCIO::Config::CreateRaw()->createEditableCopy();
        raw->setProcessorCacheFlags(OCIO::PROCESSOR_CACHE_OFF);
        return OCIO::ConstConfigRcPtr(raw);
    }();
    return config;
}

// OpenColorIO 2.1 reads OCIO_OPTIMIZATION_FLAGS into one string of its own,
// shared by the whole process, each time it optimises a processor: these calls
// take turns. Reading a file and applying it at the nodes of a lattice, where
// the time goes, do not.
OCIO::ConstCPUProcessorRcPtr OptimizedCpuProcessor(const OCIO::Processor& processor) {
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    return processor.getOptimizedCPUProcessor(OCIO::OPTIMIZATION_LOSSLESS);
}

// A context without search paths or variables: nothing comes from the environment.
OCIO::ConstContextRcPtr EmptyContext() {
    OCIO::ContextRcPtr context = OCIO::Context::Create();
    context->setEnvironmentMode(OCIO::ENV_ENVIRONMENT_LOAD_PREDEFINED);
    context->clearStringVars();
    context->clearSearchPaths();
    return context;
}

// The nodes of a lattice axis: node i of channel c stands for
// low[c] + i * (high[c] - low[c]) / (n - 1).
struct NodeRange {
    float low[3] = {0, 0, 0};
    float high[3] = {1, 1, 1};
};

// The input values of the nodes along each axis of an n-point lattice.
struct LatticeAxes {
    LatticeAxes(uint32_t n, const NodeRange& range) {
        for (int c = 0; c < 3; ++c) {
            values[c].resize(n);
            const double step = (double(range.high[c]) - range.low[c]) / double(n - 1);
            for (uint32_t i = 0; i < n; ++i)
                values[c][i] = float(range.low[c] + step * i);
        }
    }
    std::vector<float> values[3];
};

// Writes the nodes of blue slab b, red fastest, `channels` floats per entry
// (a fourth float is alpha, 1).
void FillSlab(float* slab, const LatticeAxes& axes, uint32_t b, uint32_t channels) {
    const uint32_t n = uint32_t(axes.values[0].size());
    float* entry = slab;
    for (uint32_t g = 0; g < n; ++g)
        for (uint32_t r = 0; r < n; ++r, entry += channels) {
            entry[0] = axes.values[0][r];
            entry[1] = axes.values[1][g];
            entry[2] = axes.values[2][b];
            if (channels == 4)
                entry[3] = 1.0f;
        }
}

// RGB values `channels` floats apart, in rows of `width`; alpha is left alone.
void ApplyRows(const OCIO::CPUProcessor& cpu, float* data, size_t width, size_t height,
               uint32_t channels) {
    const ptrdiff_t entryBytes = ptrdiff_t(channels * sizeof(float));
    OCIO::PackedImageDesc image(data, long(width), long(height), OCIO::CHANNEL_ORDERING_RGB,
                                OCIO::BIT_DEPTH_F32, sizeof(float), entryBytes,
                                entryBytes * ptrdiff_t(width));
    cpu.apply(image);
}

// Fills and transforms an n-point lattice, one band of blue slabs per thread;
// OpenColorIO's CPU processors may be shared between threads.
bool TransformLattice(const OCIO::CPUProcessor& cpu, float* data, uint32_t n, uint32_t channels,
                      const NodeRange& range) {
    std::atomic<bool> failed{false};
    auto transformSlabs = [&](const LatticeAxes& axes, uint32_t first, uint32_t end) {
        try {
            const size_t slabFloats = size_t(n) * n * channels;
            for (uint32_t b = first; b < end && !failed; ++b) {
                FillSlab(data + b * slabFloats, axes, b, channels);
                ApplyRows(cpu, data + b * slabFloats, n, n, channels);
            }
        } catch (...) {
            failed = true;
        }
    };
    try {
        const LatticeAxes axes(n, range);
        const uint32_t threads = n >= kParallelFromSize ? DefaultThreadCount() : 1;
        ParallelBands(n, threads, [&](uint32_t, uint32_t first, uint32_t end) {
            transformSlabs(axes, first, end);
        });
    } catch (...) {
        return false;
    }
    return !failed;
}

// A 1D table of the transform of (v, v, v) for v from 0 to 1.
bool FillTable(CVxLUT& table, const OCIO::CPUProcessor& cpu) {
    if (!table.Create(kTableEntries, false))
        return false;
    float* entry = table.m_data;
    for (uint32_t i = 0; i < kTableEntries; ++i, entry += 4) {
        entry[0] = entry[1] = entry[2] = float(double(i) / (kTableEntries - 1));
        entry[3] = 1.0f;
    }
    ApplyRows(cpu, table.m_data, kTableEntries, 1, 4);
    table.SetDomainUniform(0.0f, 1.0f);
    return true;
}

// Per channel, the span of the outputs and of [0, 1], over which the
// lattice nodes are spread: inside [0, 1] they stay on the nodes of any 3D
// LUT of a matching size that follows. False when an output is not finite.
bool MeasureRange(const CVxLUT& table, NodeRange& range) {
    for (int c = 0; c < 3; ++c) {
        float low = 0.0f, high = 1.0f;
        for (uint32_t i = 0; i < table.m_size; ++i) {
            const float v = table.m_data[i * 4 + c];
            if (!std::isfinite(v))
                return false;
            low = v < low ? v : low;
            high = v > high ? v : high;
        }
        range.low[c] = low;
        range.high[c] = high;
    }
    return true;
}

// Replaces each output by the texture coordinate of its place in the
// range: lattice node i sits at (i + 0.5) / size.
void MapOntoTexelCentres(CVxLUT& table, const NodeRange& range, uint32_t size) {
    for (int c = 0; c < 3; ++c) {
        const double scale = double(size - 1) / (double(range.high[c]) - range.low[c]);
        for (uint32_t i = 0; i < table.m_size; ++i) {
            float& v = table.m_data[i * 4 + c];
            v = float((0.5 + (v - double(range.low[c])) * scale) / size);
        }
    }
}

bool HasCrosstalk(const OCIO::Config& config, const OCIO::ConstContextRcPtr& context,
                  const OCIO::ConstTransformRcPtr& step) {
    return config.getProcessor(context, step, OCIO::TRANSFORM_DIR_FORWARD)->hasChannelCrosstalk();
}

// A forward CDL's slope, offset and power act on each channel alone and its
// saturation mixes them: such a CDL becomes the two steps, so that the first
// can join a pre-LUT.
void AppendSteps(const OCIO::ConstTransformRcPtr& step,
                 std::vector<OCIO::ConstTransformRcPtr>& steps) {
    auto cdl = OCIO::DynamicPtrCast<const OCIO::CDLTransform>(step);
    if (!cdl || cdl->getDirection() != OCIO::TRANSFORM_DIR_FORWARD || cdl->getSat() == 1.0) {
        steps.push_back(step);
        return;
    }
    auto perChannel = OCIO::DynamicPtrCast<OCIO::CDLTransform>(cdl->createEditableCopy());
    perChannel->setSat(1.0);
    auto saturation = OCIO::CDLTransform::Create();
    saturation->setStyle(cdl->getStyle());
    saturation->setSat(cdl->getSat());
    steps.push_back(perChannel);
    steps.push_back(saturation);
}

} // namespace

struct OcioFileTransform::Impl {
    OCIO::ConstConfigRcPtr config;
    OCIO::ConstContextRcPtr context;
    OCIO::ConstProcessorRcPtr processor;
    OCIO::ConstCPUProcessorRcPtr cpu;
    uint32_t correctionCount = 1;
    std::string correctionId;

    OCIO::ConstCPUProcessorRcPtr CpuProcessorOf(const OCIO::ConstTransformRcPtr& transform) const {
        return OptimizedCpuProcessor(
            *config->getProcessor(context, transform, OCIO::TRANSFORM_DIR_FORWARD));
    }

    // The first correction of an ASC CDL file, which must hold at least one,
    // with the clamps of the ASC CDL: a file from set means what the CDL means.
    OCIO::ConstTransformRcPtr FirstCorrection(const std::string& posixPath) {
        OCIO::GroupTransformRcPtr corrections =
            OCIO::CDLTransform::CreateGroupFromFile(posixPath.c_str());
        const int count = corrections->getNumTransforms();
        auto first =
            count > 0 ? OCIO::DynamicPtrCast<const OCIO::CDLTransform>(corrections->getTransform(0))
                      : nullptr;
        if (!first)
            return nullptr;
        auto cdl = OCIO::DynamicPtrCast<OCIO::CDLTransform>(first->createEditableCopy());
        cdl->setStyle(OCIO::CDL_ASC);
        correctionCount = uint32_t(count);
        correctionId = cdl->getID() ? cdl->getID() : "";
        return cdl;
    }

    static OCIO::ConstTransformRcPtr WholeFile(const std::string& posixPath) {
        OCIO::FileTransformRcPtr file = OCIO::FileTransform::Create();
        file->setSrc(posixPath.c_str());
        file->setInterpolation(OCIO::INTERP_LINEAR);
        file->setCDLStyle(OCIO::CDL_ASC);
        return file;
    }

    // The leading steps that act on each channel alone, and the rest; false
    // when either part would be empty.
    bool Split(OCIO::ConstCPUProcessorRcPtr& perChannel, OCIO::ConstCPUProcessorRcPtr& rest) const {
        std::vector<OCIO::ConstTransformRcPtr> steps;
        OCIO::GroupTransformRcPtr group = processor->createGroupTransform();
        for (int i = 0; i < group->getNumTransforms(); ++i)
            AppendSteps(group->getTransform(i), steps);
        OCIO::GroupTransformRcPtr head = OCIO::GroupTransform::Create();
        OCIO::GroupTransformRcPtr tail = OCIO::GroupTransform::Create();
        for (const OCIO::ConstTransformRcPtr& step : steps) {
            const bool joinsHead =
                tail->getNumTransforms() == 0 && !HasCrosstalk(*config, context, step);
            (joinsHead ? head : tail)->appendTransform(step->createEditableCopy());
        }
        if (head->getNumTransforms() == 0 || tail->getNumTransforms() == 0)
            return false;
        perChannel = CpuProcessorOf(head);
        rest = CpuProcessorOf(tail);
        return true;
    }

    bool Fill(CVxLUT& lut, bool powerOfTwo, EDimensionRequirement requirement) const {
        try {
            if (!processor->hasChannelCrosstalk())
                return requirement != EDimensionRequirement::eOnly3D && FillTable(lut, *cpu);
            if (requirement == EDimensionRequirement::eOnly1D)
                return false;
            const uint32_t less = powerOfTwo ? 1 : 0;
            return FillLatticeAfterPreLut(lut, kLatticeAfterPreLut - less) ||
                   FillLattice(lut, kWholeLattice - less);
        } catch (...) {
            return false;
        }
    }

    bool FillLattice(CVxLUT& lut, uint32_t size) const {
        if (!lut.Create(size, true) || !TransformLattice(*cpu, lut.m_data, size, 4, NodeRange()))
            return false;
        lut.SetDomainUniform(0.0f, 1.0f);
        return true;
    }

    // The per-channel steps as a pre-LUT that maps each channel's output range
    // onto the lattice, whose nodes hold the rest of the transform there.
    // False when the transform cannot be split so, leaving the LUT for a plain lattice.
    bool FillLatticeAfterPreLut(CVxLUT& lut, uint32_t size) const {
        OCIO::ConstCPUProcessorRcPtr perChannel, rest;
        std::unique_ptr<CVxLUT> pre(new (std::nothrow) CVxLUT());
        try {
            if (!pre || !Split(perChannel, rest) || !FillTable(*pre, *perChannel))
                return false;
        } catch (...) {
            return false;
        }
        NodeRange range;
        if (!MeasureRange(*pre, range))
            return false;
        MapOntoTexelCentres(*pre, range, size);
        if (!lut.Create(size, true) || !TransformLattice(*rest, lut.m_data, size, 4, range))
            return false;
        lut.SetDomainUniform(0.5f / float(size), 1.0f - 0.5f / float(size));
        lut.DeletePreLUT();
        lut.m_preLUT = pre.release();
        return true;
    }
};

namespace {

// OpenColorIO says that a file could not be loaded, that every format was
// tried, and then what the format of the file's extension found wrong; the
// last is the reason, on one line.
std::string ReasonOf(std::string_view message) {
    constexpr std::string_view kFormatSaid = "failed with: ";
    const size_t said = message.rfind(kFormatSaid);
    if (said != std::string_view::npos)
        message.remove_prefix(said + kFormatSaid.size());
    std::string reason;
    for (const char c : message)
        if (c == '\n' || c == '\r' || c == '\t') {
            if (!reason.empty() && reason.back() != ' ')
                reason += ' ';
        } else {
            reason += c;
        }
    while (!reason.empty() && (reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

} // namespace

void ClearOcioCaches() {
    OCIO::ClearAllCaches();
}

OcioFileTransform::OcioFileTransform() = default;

OcioFileTransform::~OcioFileTransform() = default;

bool OcioFileTransform::Open(FileAccess& files, const CVxString& path) {
    m_impl.reset();
    m_failure.clear();
    std::string posixPath;
    if (!files.SystemPath(path, posixPath))
        return false;
    const OcioQuietScope quiet;
    try {
        auto impl = std::make_unique<Impl>();
        impl->config = RawConfig();
        impl->context = EmptyContext();
        OCIO::ConstTransformRcPtr transform =
            ListsCorrections(path) ? impl->FirstCorrection(posixPath) : Impl::WholeFile(posixPath);
        if (!transform)
            return false;
        impl->processor =
            impl->config->getProcessor(impl->context, transform, OCIO::TRANSFORM_DIR_FORWARD);
        impl->cpu = OptimizedCpuProcessor(*impl->processor);
        m_impl = std::move(impl);
        return true;
    } catch (const std::exception& failure) {
        m_failure = ReasonOf(failure.what());
        return false;
    } catch (...) {
        return false;
    }
}

uint32_t OcioFileTransform::CorrectionCount() const {
    return m_impl ? m_impl->correctionCount : 0;
}

const std::string& OcioFileTransform::CorrectionId() const {
    static const std::string kNone;
    return m_impl ? m_impl->correctionId : kNone;
}

bool OcioFileTransform::Apply(float* rgb, size_t count) const {
    if (!m_impl)
        return false;
    try {
        ApplyRows(*m_impl->cpu, rgb, count, 1, 3);
        return true;
    } catch (...) {
        return false;
    }
}

bool OcioFileTransform::ApplyToLattice(uint32_t n, float* rgb) const {
    return m_impl && n >= 2 && TransformLattice(*m_impl->cpu, rgb, n, 3, NodeRange());
}

bool OcioFileTransform::FillLut(CVxLUT& lut, bool powerOfTwo,
                                EDimensionRequirement requirement) const {
    const bool filled = m_impl && m_impl->Fill(lut, powerOfTwo, requirement);
    if (!filled) {
        lut.DeletePreLUT();
        lut.Clear();
    }
    return filled;
}

bool ReadOcioLut(CVxLUT& lut, const LutFiles& source, const CVxString& path, bool upsample,
                 EDimensionRequirement requirement) {
    OcioFileTransform transform;
    // A transform that did not open fills nothing and leaves the LUT empty.
    transform.Open(source.files, path);
    return transform.FillLut(lut, upsample, requirement);
}
