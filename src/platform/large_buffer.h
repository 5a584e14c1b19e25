#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace platform {

// Memory for a buffer of many megabytes that is filled from end to end once:
// backed by large pages where the system offers them, so that its first touch
// costs a few hundred page faults rather than tens of thousands. Released with
// std::free; nullptr when the memory cannot be had.
void* AllocateLargeBuffer(size_t bytes);

// The same from operator new, so that a program's own operator new governs
// it too: a block of 256 KB or more is aligned to large pages and rounded up
// to whole ones, so that all of it can be backed by them. nullptr
// when the memory cannot be had; released with DeleteLargeBlock and the size
// it was asked with, which keeps a few blocks of up to 4 MB for the next
// request of their size, cleared as far as that asks, as fresh memory is.
void* NewLargeBlock(size_t bytes) noexcept;
void DeleteLargeBlock(void* block, size_t bytes) noexcept;

// Asks for large pages behind the whole large pages that a buffer of any
// origin spans, for a buffer about to be filled: its first touch then costs
// a page fault per large page. Advice only, ignored where the system has none.
void AdviseLargePages(void* buffer, size_t bytes);

// Hands the memory behind the whole large pages that [buffer, buffer + bytes)
// spans back to the system while the buffer stays allocated: a buffer read
// from end to end once can give back what is behind the reader, and the
// system reuses that memory at once (for the pages of a file being written,
// say) instead of fresh memory, whose first touch costs more. What is handed
// back reads as zeros afterwards. Advice only.
void ReleaseLargePages(void* buffer, size_t bytes);

// The allocator of a std::vector that may hold many megabytes: its memory comes
// from AllocateLargeBuffer.
template <typename T> struct LargePageAllocator {
    using value_type = T;
    LargePageAllocator() = default;
    template <typename U> LargePageAllocator(const LargePageAllocator<U>&) {}
    T* allocate(size_t count) {
        if (count > size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        if (void* memory = AllocateLargeBuffer(count * sizeof(T)))
            return static_cast<T*>(memory);
        throw std::bad_alloc();
    }
    void deallocate(T* memory, size_t) { std::free(memory); }
    template <typename U> bool operator==(const LargePageAllocator<U>&) const { return true; }
};

} // namespace platform
