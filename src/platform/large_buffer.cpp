#include "platform/large_buffer.h"

#include <cstdint>
#include <cstdlib>
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

void* NewLargeBlock(size_t bytes) noexcept {
    if (bytes < kSmallestLargeBlock)
        return ::operator new(bytes, std::nothrow);
    if (bytes > size_t(-1) - kLargePage)
        return nullptr;
    const size_t rounded = (bytes + kLargePage - 1) & ~(kLargePage - 1);
    void* block = ::operator new(rounded, std::align_val_t(kLargePage), std::nothrow);
    if (block)
        AdviseLargePages(block, rounded);
    return block;
}

void DeleteLargeBlock(void* block, size_t bytes) noexcept {
    if (bytes < kSmallestLargeBlock)
        ::operator delete(block);
    else
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
