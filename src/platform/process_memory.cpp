#include "platform/process_memory.h"

#include <malloc.h>

namespace platform {

void KeepFreedMemoryForReuse() {
    constexpr int kLargestHeapBlock = 32 << 20;
    constexpr int kNeverTrim = 1 << 30;
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    mallopt(M_TRIM_THRESHOLD, kNeverTrim);
}

} // namespace platform
