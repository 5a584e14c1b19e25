#include "platform/large_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <sys/mman.h>

namespace platform {

namespace {
constexpr size_t kLargePage = size_t(2) << 20;
// From this size a block comes from whole large pages: one large page, made
// ready in one fault, costs less than 64 small ones, each faulted alone.
constexpr size_t kSmallestLargeBlock = size_t(256) << 10;
} // namespace

void* AllocateLargeBuffer(size_t bytes) {
    if (bytes < kLargePage)
        return std::malloc(bytes);
    if (bytes > size_t(-1) - kLargePage)
        return nullptr;
    const size_t rounded = (bytes + kLargePage - 1) & ~(kLargePage - 1);
    void* buffer = std::aligned_alloc(kLargePage, rounded);
    if (buffer)
        AdviseLargePages(buffer, rounded);
    return buffer;
}

namespace {

size_t RoundedToLargePages(size_t bytes) {
    return (bytes + kLargePage - 1) & ~(kLargePage - 1);
}

// Large blocks freed and kept for the next request of the same size. A batch
// of LUT files makes and frees the same lattices for every file, and a fresh
// block costs a mapping, a large page cleared on its first touch and an
// unmapping: more than a millisecond a file together on some virtual
// machines, against the tens of microseconds of clearing the part of a kept
// block that is asked for. Only blocks of one or two large pages are kept:
// larger ones (whole texts, lattices of 64 points and more) were measured to
// gain nothing, a batch of looks lost a little, and memory kept is memory the
// system cannot give to the files being written.
class KeptBlocks {
public:
    void* Take(size_t rounded) {
        std::lock_guard lock(m_mutex);
        for (size_t i = 0; i < m_count; ++i)
            if (m_blocks[i].bytes == rounded) {
                void* block = m_blocks[i].block;
                m_keptBytes -= rounded;
                m_blocks[i] = m_blocks[--m_count];
                return block;
            }
        return nullptr;
    }

    bool Keep(void* block, size_t rounded) {
        std::lock_guard lock(m_mutex);
        if (rounded > kLargestKept || m_count == kMostKept ||
            m_keptBytes + rounded > kMostKeptBytes)
            return false;
        m_blocks[m_count++] = {block, rounded};
        m_keptBytes += rounded;
        return true;
    }

private:
    static constexpr size_t kLargestKept = size_t(4) << 20;
    static constexpr size_t kMostKeptBytes = size_t(16) << 20;
    static constexpr size_t kMostKept = 8;
    struct Kept {
        void* block;
        size_t bytes;
    };
    std::mutex m_mutex;
    Kept m_blocks[kMostKept] = {};
    size_t m_count = 0;
    size_t m_keptBytes = 0;
};

// Kept for the whole process: blocks may be freed by threads still running
// while it ends.
KeptBlocks& Kept() {
    static KeptBlocks& kept = *new KeptBlocks;
    return kept;
}

} // namespace

void* NewLargeBlock(size_t bytes) noexcept {
    if (bytes < kSmallestLargeBlock)
        return ::operator new(bytes, std::nothrow);
    if (bytes > size_t(-1) - kLargePage)
        return nullptr;
    const size_t rounded = RoundedToLargePages(bytes);
    // A kept block reads as a fresh one does: zero as far as it is asked for.
    if (void* block = Kept().Take(rounded))
        return std::memset(block, 0, bytes);
    void* block = ::operator new(rounded, std::align_val_t(kLargePage), std::nothrow);
    if (block)
        AdviseLargePages(block, rounded);
    return block;
}

void DeleteLargeBlock(void* block, size_t bytes) noexcept {
    if (bytes < kSmallestLargeBlock) {
        ::operator delete(block);
        return;
    }
    if (block && Kept().Keep(block, RoundedToLargePages(bytes)))
        return;
    ::operator delete(block, std::align_val_t(kLargePage));
}

void AdviseLargePages(void* buffer, size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Advice only: without large pages the buffer works as well, just slower.
    const uintptr_t start = reinterpret_cast<uintptr_t>(buffer);
    const uintptr_t first = (start + kLargePage - 1) & ~uintptr_t(kLargePage - 1);
    const uintptr_t end = (start + bytes) & ~uintptr_t(kLargePage - 1);
    if (first < end)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)buffer;
    (void)bytes;
#endif
}

void ReleaseLargePages(void* buffer, size_t bytes) {
#ifdef MADV_DONTNEED
    const uintptr_t start = reinterpret_cast<uintptr_t>(buffer);
    const uintptr_t first = (start + kLargePage - 1) & ~uintptr_t(kLargePage - 1);
    const uintptr_t end = (start + bytes) & ~uintptr_t(kLargePage - 1);
    if (first < end)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
#else
    (void)buffer;
    (void)bytes;
#endif
}

} // namespace platform
