#include "platform/large_buffer.h"

#include <cstdlib>
#include <sys/mman.h>

namespace platform {

namespace {
constexpr size_t kLargePage = size_t(2) << 20;
} // namespace

void* AllocateLargeBuffer(size_t bytes) {
    if (bytes < kLargePage)
        return std::malloc(bytes);
    if (bytes > size_t(-1) - kLargePage)
        return nullptr;
    const size_t rounded = (bytes + kLargePage - 1) & ~(kLargePage - 1);
    void* buffer = std::aligned_alloc(kLargePage, rounded);
#ifdef MADV_HUGEPAGE
    // Advice only: without large pages the buffer works as well, just slower.
    if (buffer)
        ::madvise(buffer, rounded, MADV_HUGEPAGE);
#endif
    return buffer;
}

} // namespace platform
