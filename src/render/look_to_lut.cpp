#include "render/look_to_lut.h"

#include "look/grading_params.h"
#include "platform/large_buffer.h"
#include "render/render_context.h"
#include "render/render_image.h"

#include <bit>
#include <cfloat>
#include <cstdint>
#include <cstdlib>

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
void FillCube(float* nodes, uint32_t N, float step, uint32_t latticeOrder) {
    const LatticeChannels channels = ChannelsForOrder(latticeOrder);
    float outer = 0.0f;
    for (uint32_t k = 0; k < N; ++k, outer += step) {
        float middle = 0.0f;
        for (uint32_t j = 0; j < N; ++j, middle += step) {
            float inner = 0.0f;
            for (uint32_t i = 0; i < N; ++i, inner += step, nodes += 3) {
                nodes[channels.fastest] = inner;
                nodes[channels.middle] = middle;
                nodes[channels.slowest] = outer;
            }
        }
    }
}

void FillRamp(float* nodes, uint32_t N, float step) {
    float value = 0.0f;
    for (uint32_t i = 0; i < N; ++i, value += step, nodes += 3)
        nodes[0] = nodes[1] = nodes[2] = value;
}

// Overflowing layers (a power of a huge exponent, say) must not hand NaN or
// infinity to a LUT file: NaN becomes 0 and infinity the largest float of its
// sign. Selects on the bit pattern keep the loop free of branches.
void MakeFinite(float* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t bits = std::bit_cast<uint32_t>(values[i]);
        const bool nonFinite = (bits & 0x7F800000u) == 0x7F800000u;
        const bool isNan = (bits & 0x007FFFFFu) != 0;
        const float largest = (bits & 0x80000000u) ? -FLT_MAX : FLT_MAX;
        values[i] = nonFinite ? (isNan ? 0.0f : largest) : values[i];
    }
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
                                                     const CVxString& extraLut) {
    const uint64_t nodes = NodeCount(is3D, N);
    float* buffer = out ? out : AllocateRenderedLut(nodes);
    if (!buffer)
        return nullptr;
    const float step = float(1.0 / double(N - 1));
    if (is3D)
        FillCube(buffer, N, step, latticeOrder);
    else
        FillRamp(buffer, N, step);

    const uint32_t height = is3D ? N * N : 1;
    std::unique_ptr<RenderImage> lattice = RenderImage::Wrap(buffer, N, height, 3);
    CVxRenderContext context;
    context.AddSource("buffer", lattice.get());
    context.AddObject(grading.Name(), &grading);
    CVxString pipeline = "buffer|" + grading.Name();
    if (!extraLut.IsEmpty())
        pipeline += "|" + extraLut + "|*lut";

    if (Render(pipeline, context, N, height, lattice.get(), nullptr, 0) && !m_lutMissing) {
        MakeFinite(buffer, size_t(nodes) * 3);
        return buffer;
    }
    if (!out)
        ReleaseRenderedLut(buffer);
    return nullptr;
}

RenderedLattice RenderLattice(CVxSoftwareCompositingEngine& engine,
                              const CVxGradingParamStorage& grading,
                              const LatticeRequest& request) {
    RenderedLattice result;
    result.nodes.reset(AllocateRenderedLut(NodeCount(request.is3D, request.size)));
    if (!result.nodes) {
        result.failure = ERenderFailure::eOutOfMemory;
        return result;
    }
    engine.m_lastLutFolder = request.lookFolder;
    if (!engine.RenderLookToLut(grading, request.is3D, request.size, result.nodes.get(),
                                request.latticeOrder, request.extraLut)) {
        result.nodes.reset();
        result.failure = FailureOf(engine);
    }
    return result;
}
