#include "render/rebuilt_look.h"

#include "look/grading_params.h"
#include "look/look_writer.h"
#include "platform/large_buffer.h"
#include "render/look_to_lut.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// How much of a lattice being rendered is final, shared between the render's
// threads, which report nodes as they are done, and the writer, which waits
// for them. Nodes are reported in blocks, mostly in order; those after a gap
// wait in `m_ahead` until the gap is filled.
class LatticeProgress {
public:
    LatticeProgress(float* lattice, uint64_t nodes) : m_lattice(lattice), m_nodes(nodes) {}

    void NodesDone(uint64_t firstNode, uint64_t endNode) {
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            m_ahead[firstNode] = endNode;
            for (auto next = m_ahead.begin(); next != m_ahead.end() && next->first == m_final;
                 next = m_ahead.erase(next))
                m_final = next->second;
            m_started = true;
        }
        m_changed.notify_all();
    }

    // The render ended; a failed one makes every wait fail.
    void Finish(bool rendered) {
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            m_ended = true;
            m_failed = !rendered;
        }
        m_changed.notify_all();
    }

    // True once the render has reported nodes, which it does only when it can
    // no longer fail; false when it ended without success.
    bool WaitUntilStarted() {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] { return m_started || m_ended; });
        return m_started && !m_failed;
    }

    // The writer asks for the bytes in order and reads each part once, so
    // whatever lay before the bytes it asked for last is behind it for good:
    // that memory goes back to the system, to hold the written file's pages.
    bool WaitForBytes(uint64_t bytes) {
        platform::ReleaseLargePages(m_lattice, size_t(m_asked));
        m_asked = bytes;
        const uint64_t nodes = std::min(m_nodes, (bytes + kBytesPerNode - 1) / kBytesPerNode);
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] { return m_final >= nodes || m_failed; });
        return !m_failed;
    }

private:
    static constexpr uint64_t kBytesPerNode = 12;

    float* const m_lattice;
    const uint64_t m_nodes;
    uint64_t m_asked = 0; // the bytes the writer asked for last
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<uint64_t, uint64_t> m_ahead; // first node to end node of reported blocks
    uint64_t m_final = 0;                 // nodes [0, m_final) are final
    bool m_started = false;
    bool m_ended = false;
    bool m_failed = false;
};

} // namespace

// The document is written on a thread of its own while the lattice renders:
// the writing, mostly the system's copy into the file and the disk behind it,
// overlaps the render instead of following it. Nothing reaches the sink before
// the render reports its first nodes, when it can no longer fail but by being
// stopped, so a sink that opens its file on the first byte leaves the file
// alone when the render fails. Where no thread can be started, the render
// comes first.
ERebuildResult WriteRebuiltLook(CVxSoftwareCompositingEngine& engine,
                                const CVxGradingParamStorage& grading, ByteSink& out,
                                const CVxShapeMask* mask, uint32_t size3D, uint32_t size1D,
                                const CVxString& lookFolder, ERenderFailure* renderFailure) {
    if (!CanWriteLookDocument(grading, mask))
        return ERebuildResult::eWriteFailed;
    // The ramp is small, and rendered first so that it is ready when the
    // writer comes to it.
    RenderedLattice ramp;
    if (size1D != 0 && grading.IsPerChannelOnly(false))
        ramp = RenderLattice(engine, grading,
                             {.size = size1D, .is3D = kLatticeRamp, .lookFolder = lookFolder});
    if (size3D == 0)
        return WriteLookDocument(out, grading, mask, nullptr, 0, ramp.nodes.get(), size1D)
                   ? ERebuildResult::eWritten
                   : ERebuildResult::eWriteFailed;

    LatticeRequest request{.size = size3D, .lookFolder = lookFolder};
    const RenderedLutBuffer lattice = AllocateLattice(request);
    if (!lattice) {
        if (renderFailure)
            *renderFailure = ERenderFailure::eOutOfMemory;
        return ERebuildResult::eRenderFailed;
    }
    LatticeProgress progress(lattice.get(), uint64_t(size3D) * size3D * size3D);
    const FinalNodes nodesDone = [&](uint64_t first, uint64_t end) {
        progress.NodesDone(first, end);
    };
    request.finalNodes = &nodesDone;
    bool written = false;
    auto write = [&] {
        if (progress.WaitUntilStarted())
            written = WriteLookDocument(
                out, grading, mask, lattice.get(), size3D, ramp.nodes.get(), size1D,
                [&](uint64_t bytes) { return progress.WaitForBytes(bytes); });
    };
    std::thread writer;
    try {
        writer = std::thread(write);
    } catch (const std::system_error&) {
    }
    const ERenderFailure failure = RenderLatticeInto(engine, grading, request, lattice.get());
    const bool rendered = failure == ERenderFailure::eNone;
    if (renderFailure)
        *renderFailure = failure;
    progress.Finish(rendered);
    if (writer.joinable())
        writer.join();
    else
        write();
    if (!rendered)
        return ERebuildResult::eRenderFailed;
    // The writer leaves out a LUT without data.
    return written ? ERebuildResult::eWritten : ERebuildResult::eWriteFailed;
}
