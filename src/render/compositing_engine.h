#pragma once

#include "foundation/vx_string.h"
#include "render/render_environment.h"
#include "render/stage_runner.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CVxGradingParamStorage;
class CVxRenderContext;
class CVxShaderRegistry;
class RenderImage;

// A part of the output to render; the whole output when absent.
struct RenderRegion {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// The framework's interface of a compositing engine: a pipeline text of
// sources and operators, separated by "|", rendered into an output image.
class IVxCompositingEngine {
public:
    // Why a render failed; thrown inside the engine and kept as its last error.
    enum class ERenderError : uint32_t {
        eNone = 0,
        eRequestEmpty = 1,
        eBadArgument = 2,
        eNothingToPop = 3,
        eLutNeedsTwoInputs = 4,
        eUnknownOperator = 5,
        eNoInput = 7,
        eStackUnderflow = 8,
        eOperatorFailed = 9,
        eEvaluationFailed = 10,
        eShaderNotFound = 11,
        eNotALut = 12,
        eLutNotLoaded = 13,
        eUnknownSource = 15,
        eAborted = 17,
    };

    // Render flags: "*readout" is evaluated at once instead of being deferred.
    static constexpr uint32_t kReadoutFlag = 1;

    virtual ~IVxCompositingEngine() = default;

    // Runs the pipeline and writes the top image into `output` (converted to its
    // channels and size). False with the last error set when the render fails.
    virtual bool Render(const CVxString& pipeline, CVxRenderContext& context, uint32_t width,
                        uint32_t height, RenderImage* output, const RenderRegion* regionOfInterest,
                        uint32_t flags) = 0;
};

// Values of RenderLookToLut's is3D argument.
inline constexpr uint8_t kLatticeRamp = 0; // a gray ramp of N nodes
inline constexpr uint8_t kLatticeCube = 1; // a cube of N^3 nodes
// Values of its latticeOrder argument: the channels from fastest to slowest.
inline constexpr uint32_t kRedFastest = 0;   // red, green, blue
inline constexpr uint32_t kBlueFastest = 1;  // blue, green, red
inline constexpr uint32_t kRedBlueGreen = 2; // red, blue, green

// Told of nodes [firstNode, endNode) of a lattice being rendered once they hold
// their final (finite) values, from the render's threads, each node once.
using FinalNodes = std::function<void(uint64_t firstNode, uint64_t endNode)>;

// The engine that renders on the processor. Layers of a grading run through
// their shader definitions and CPU kernels; rows are shared among threads, and
// every output byte is the same whatever the number of threads. The engine is
// implemented in software_engine.cpp, its RenderLookToLut in look_to_lut.cpp.
class CVxSoftwareCompositingEngine : public IVxCompositingEngine {
public:
    // Shaders and LUT files come from the run's environment, which outlives the engine.
    explicit CVxSoftwareCompositingEngine(const RenderEnvironment& environment);
    ~CVxSoftwareCompositingEngine() override;
    CVxSoftwareCompositingEngine(const CVxSoftwareCompositingEngine&) = delete;
    CVxSoftwareCompositingEngine& operator=(const CVxSoftwareCompositingEngine&) = delete;

    bool Render(const CVxString& pipeline, CVxRenderContext& context, uint32_t width,
                uint32_t height, RenderImage* output, const RenderRegion* regionOfInterest,
                uint32_t flags) override;

    // Renders a grading over an identity lattice of size N (is3D) or a gray ramp
    // of N entries: a new buffer of 3 floats per node (or `out` when given), or
    // null with m_lastError and m_lutMissing telling why (m_lastError stays as
    // it was when no buffer could be had). An order other than those named above
    // is kRedFastest. `extraLut` names a LUT file applied after the grading.
    // RenderLattice (look_to_lut.h) does the same into a buffer it owns.
    // `finalNodes`, when given, is told of the nodes as they are done, so that
    // a reader on another thread may take them before the render ends; it is
    // told only of a render that cannot fail any more but by being stopped,
    // and of every node by the time a successful render returns.
    float* RenderLookToLut(const CVxGradingParamStorage& grading, uint8_t is3D, uint32_t N,
                           float* out, uint32_t latticeOrder, const CVxString& extraLut,
                           const FinalNodes* finalNodes = nullptr);

    // Threads that share the rows of one render; 0 restores the default (one
    // per processor core).
    void SetThreadCount(uint32_t threads);
    uint32_t ThreadCount() const { return m_threadCount; }

    // Names of the operators in the registry, built-in ones first.
    std::vector<CVxString> OperatorNames() const;

    // The ERenderError value of the last failed Render, 0 after success.
    uint32_t m_lastError = 0;
    // Set during a Render when a LUT file named by a shader layer could not be loaded.
    uint32_t m_lutMissing = 0;
    // Set when the last Render failed for want of memory (its error is then eEvaluationFailed).
    bool m_outOfMemory = false;
    // A folder (ending in a backslash) in which a LUT file that a layer names
    // is looked for when none of the usual places holds it; empty for none.
    CVxString m_lastLutFolder;
    // When set, a running Render stops before its next token and fails with
    // eAborted. The environment's stop request does the same, and stops a
    // pass between blocks of rows as well.
    std::atomic<uint8_t> m_abort{0};

private:
    struct Operator;
    class RenderRun;
    friend class RenderRun;

    bool Stopping() const { return m_abort || StopRequested(m_environment.stop); }

    RenderEnvironment m_environment;
    std::vector<std::unique_ptr<Operator>> m_operators;
    size_t m_builtInOperators = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_threadCount = 1;
    // During RenderLookToLut: fills rows of the output that no pass filled
    // yet, before a pass reads them (every read of the lattice goes through
    // the passes), and is told of the output rows of the render's last pass.
    const RowsCallback* m_fillOutputRows = nullptr;
    const RowsCallback* m_finalOutputRows = nullptr;
};

// Releases a buffer returned by RenderLookToLut.
void ReleaseRenderedLut(float* buffer);

struct RenderedLutRelease {
    void operator()(float* buffer) const { ReleaseRenderedLut(buffer); }
};
// A buffer of RenderLookToLut's, released with its owner.
using RenderedLutBuffer = std::unique_ptr<float[], RenderedLutRelease>;
