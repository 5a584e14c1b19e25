#include "render/look_to_lut.h"

#include "foundation/parallel_bands.h"
#include "look/grading_params.h"
#include "platform/large_buffer.h"
#include "render/render_context.h"
#include "render/render_image.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Channel that each lattice coordinate goes to, fastest first.
struct LatticeChannels {
    int fastest;
    int middle;
    int slowest;
};

LatticeChannels ChannelsForOrder(uint32_t latticeOrder) {
    switch (latticeOrder) {
    case 1:
        return {2, 1, 0};
    case 2:
        return {0, 2, 1};
    default:
        return {0, 1, 2};
    }
}

// Coordinates grow by repeated single-precision addition of the step, never by
// multiplying the index, so the last node of an axis may differ from 1.0.
// Fills the image rows [firstRow, endRow) of a cube, row k * N + j holding the
// nodes of outer coordinate k and middle coordinate j; the coordinates of the
// first row are reached by the same additions as from the cube's start.
void FillCubeRows(float* nodes, uint32_t N, float step, uint32_t latticeOrder, uint32_t firstRow,
                  uint32_t endRow) {
    const LatticeChannels channels = ChannelsForOrder(latticeOrder);
    float outer = 0.0f;
    for (uint32_t k = 0; k < firstRow / N; ++k)
        outer += step;
    float middle = 0.0f;
    for (uint32_t j = 0; j < firstRow % N; ++j)
        middle += step;
    nodes += size_t(firstRow) * N * 3;
    for (uint32_t row = firstRow; row < endRow; ++row) {
        float inner = 0.0f;
        for (uint32_t i = 0; i < N; ++i, inner += step, nodes += 3) {
            nodes[channels.fastest] = inner;
            nodes[channels.middle] = middle;
            nodes[channels.slowest] = outer;
        }
        middle += step;
        if ((row + 1) % N == 0) {
            middle = 0.0f;
            outer += step;
        }
    }
}

void FillRamp(float* nodes, uint32_t N, float step) {
    float value = 0.0f;
    for (uint32_t i = 0; i < N; ++i, value += step, nodes += 3)
        nodes[0] = nodes[1] = nodes[2] = value;
}

// The identity lattice that a render starts from, filled a part at a time as
// the render's passes first read it: a large buffer's memory is then first
// touched by every thread, a block at a time, while the rows are about to be
// used. Each row is filled once, whoever asks for it again.
class IdentityLattice {
public:
    IdentityLattice(float* nodes, uint32_t N, uint8_t is3D, uint32_t latticeOrder)
        : m_nodes(nodes), m_size(N), m_is3D(is3D), m_order(latticeOrder),
          m_step(float(1.0 / double(N - 1))), m_filled(is3D ? size_t(N) * N : 1, 0) {}

    uint32_t Rows() const { return uint32_t(m_filled.size()); }

    // Rows of one pass are asked for by one thread each, and passes follow
    // one another, so the flags need no lock.
    void FillRows(uint32_t firstRow, uint32_t endRow) {
        for (uint32_t row = firstRow; row < endRow;) {
            if (m_filled[row]) {
                ++row;
                continue;
            }
            uint32_t end = row;
            while (end < endRow && !m_filled[end])
                m_filled[end++] = 1;
            if (m_is3D)
                FillCubeRows(m_nodes, m_size, m_step, m_order, row, end);
            else
                FillRamp(m_nodes, m_size, m_step);
            row = end;
        }
    }

private:
    float* m_nodes;
    uint32_t m_size;
    uint8_t m_is3D;
    uint32_t m_order;
    float m_step;
    std::vector<uint8_t> m_filled;
};

// Overflowing layers (a power of a huge exponent, say) must not hand NaN or
// infinity to a LUT file: NaN becomes 0 and infinity the largest float of its
// sign.
float FiniteValue(float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    if ((bits & 0x7F800000u) != 0x7F800000u)
        return value;
    if (bits & 0x007FFFFFu)
        return 0.0f;
    return (bits & 0x80000000u) ? -FLT_MAX : FLT_MAX;
}

// True when every value of the block is finite: only an exponent of all ones
// carries into the sign bit. A reduction without branches, which vectorises.
bool AllFinite(const float* block, size_t length) {
    uint32_t carries = 0;
    for (size_t i = 0; i < length; ++i)
        carries |= (std::bit_cast<uint32_t>(block[i]) & 0x7F800000u) + 0x00800000u;
    return (carries & 0x80000000u) == 0;
}

// Values are nearly always finite: a block is written only when it holds a
// value that is not.
void MakeFinite(float* values, size_t count) {
    constexpr size_t kBlock = 256;
    for (size_t first = 0; first < count; first += kBlock) {
        const size_t length = std::min(kBlock, count - first);
        if (AllFinite(values + first, length))
            continue;
        for (size_t i = first; i < first + length; ++i)
            values[i] = FiniteValue(values[i]);
    }
}

// Below this many nodes a lattice is filled and checked in less time than a
// thread takes to start.
constexpr uint64_t kSmallestParallelNodes = uint64_t(1) << 18;

// The threads for a pass over a buffer of `nodes` nodes: the first touch of a
// large buffer's pages is most of the cost, and the system serves the faults
// of several threads at once.
uint32_t BufferThreads(uint64_t nodes, uint32_t threadCount) {
    return nodes >= kSmallestParallelNodes ? threadCount : 1;
}

void MakeFiniteNodes(float* nodes, uint64_t count, uint32_t threadCount) {
    // Bands of whole thousands of nodes; the values do not depend on the split.
    const uint64_t blocks = (count + 1023) / 1024;
    ParallelBands(uint32_t(blocks), BufferThreads(count, threadCount),
                  [&](uint32_t, uint32_t first, uint32_t end) {
                      const uint64_t from = uint64_t(first) * 1024;
                      const uint64_t to = std::min(count, uint64_t(end) * 1024);
                      MakeFinite(nodes + from * 3, size_t(to - from) * 3);
                  });
}

uint64_t NodeCount(uint8_t is3D, uint32_t N) {
    return is3D ? uint64_t(N) * N * N : N;
}

// Memory that ReleaseRenderedLut frees, null when it cannot be had. A byte
// count beyond 32 bits asks for more than the framework can give.
float* AllocateRenderedLut(uint64_t nodes) {
    const uint64_t bytes = nodes * 3 * sizeof(float);
    if (bytes > 0xFFFFFFFFull)
        return nullptr;
    return static_cast<float*>(platform::AllocateLargeBuffer(size_t(bytes)));
}

using ERenderError = IVxCompositingEngine::ERenderError;

ERenderFailure FailureOf(const CVxSoftwareCompositingEngine& engine) {
    if (engine.m_lastError == uint32_t(ERenderError::eAborted))
        return ERenderFailure::eStopped;
    if (engine.m_lastError == uint32_t(ERenderError::eShaderNotFound))
        return ERenderFailure::eShaderMissing;
    if (engine.m_lastError == uint32_t(ERenderError::eLutNotLoaded) || engine.m_lutMissing)
        return ERenderFailure::eLutMissing;
    return engine.m_outOfMemory ? ERenderFailure::eOutOfMemory : ERenderFailure::eRenderFailed;
}

} // namespace

void ReleaseRenderedLut(float* buffer) {
    std::free(buffer);
}

float* CVxSoftwareCompositingEngine::RenderLookToLut(const CVxGradingParamStorage& grading,
                                                     uint8_t is3D, uint32_t N, float* out,
                                                     uint32_t latticeOrder,
                                                     const CVxString& extraLut,
                                                     const FinalNodes* finalNodes) {
    const uint64_t nodes = NodeCount(is3D, N);
    float* buffer = out ? out : AllocateRenderedLut(nodes);
    if (!buffer)
        return nullptr;
    const uint32_t height = is3D ? N * N : 1;
    std::unique_ptr<RenderImage> lattice = RenderImage::Wrap(buffer, N, height, 3);
    CVxRenderContext context;
    context.AddSource("buffer", lattice.get());
    context.AddObject(grading.Name(), &grading);
    CVxString pipeline = "buffer|" + grading.Name();
    if (!extraLut.IsEmpty())
        pipeline += "|" + extraLut + "|*lut";

    // The passes fill the rows they read first; rows that the last pass
    // reports done are made finite at once, while they are in the cache, and
    // passed on. The rows of a render without passes are filled once it ends,
    // and those of one that ends with the extra LUT made finite then.
    IdentityLattice identity(buffer, N, is3D, latticeOrder);
    const RowsCallback fillRows = [&](uint32_t firstRow, uint32_t endRow) {
        identity.FillRows(firstRow, endRow);
    };
    std::atomic<uint32_t> rowsDone{0};
    const RowsCallback finishRows = [&](uint32_t firstRow, uint32_t endRow) {
        MakeFinite(buffer + size_t(firstRow) * N * 3, size_t(endRow - firstRow) * N * 3);
        rowsDone += endRow - firstRow;
        // A LUT that did not load fails the render when it ends.
        if (finalNodes && !m_lutMissing)
            (*finalNodes)(uint64_t(firstRow) * N, uint64_t(endRow) * N);
    };
    m_fillOutputRows = &fillRows;
    m_finalOutputRows = extraLut.IsEmpty() ? &finishRows : nullptr;
    const bool rendered = Render(pipeline, context, N, height, lattice.get(), nullptr, 0);
    m_fillOutputRows = nullptr;
    m_finalOutputRows = nullptr;
    if (rendered && !m_lutMissing) {
        // The last pass reports every row or none.
        if (rowsDone != height) {
            ParallelBands(
                height, BufferThreads(nodes, m_threadCount),
                [&](uint32_t, uint32_t first, uint32_t end) { identity.FillRows(first, end); });
            MakeFiniteNodes(buffer, nodes, m_threadCount);
            if (finalNodes)
                (*finalNodes)(0, nodes);
        }
        return buffer;
    }
    if (!out)
        ReleaseRenderedLut(buffer);
    return nullptr;
}

RenderedLutBuffer AllocateLattice(const LatticeRequest& request) {
    return RenderedLutBuffer(AllocateRenderedLut(NodeCount(request.is3D, request.size)));
}

ERenderFailure RenderLatticeInto(CVxSoftwareCompositingEngine& engine,
                                 const CVxGradingParamStorage& grading,
                                 const LatticeRequest& request, float* nodes) {
    engine.m_lastLutFolder = request.lookFolder;
    if (engine.RenderLookToLut(grading, request.is3D, request.size, nodes, request.latticeOrder,
                               request.extraLut, request.finalNodes))
        return ERenderFailure::eNone;
    return FailureOf(engine);
}

RenderedLattice RenderLattice(CVxSoftwareCompositingEngine& engine,
                              const CVxGradingParamStorage& grading,
                              const LatticeRequest& request) {
    RenderedLattice result;
    result.nodes = AllocateLattice(request);
    if (!result.nodes) {
        result.failure = ERenderFailure::eOutOfMemory;
        return result;
    }
    result.failure = RenderLatticeInto(engine, grading, request, result.nodes.get());
    if (result.failure != ERenderFailure::eNone)
        result.nodes.reset();
    return result;
}
