#include "lut/lut.h"

#include "../../support/scratch_folder.h"
#include "../../support/system_luts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <tuple>
#include <vector>

// Every form of operator new fails for blocks above the limit while one is
// set; this program runs nothing else, so the replacement is its own.
namespace {

std::atomic<size_t> g_failAbove{0};

void* Allocate(size_t size) noexcept {
    const size_t limit = g_failAbove.load(std::memory_order_relaxed);
    if (limit != 0 && size > limit)
        return nullptr;
    return std::malloc(size ? size : 1);
}

void* AllocateAligned(size_t size, std::align_val_t alignment) noexcept {
    const size_t limit = g_failAbove.load(std::memory_order_relaxed);
    if (limit != 0 && size > limit)
        return nullptr;
    const size_t align = static_cast<size_t>(alignment);
    return std::aligned_alloc(align, (size + align - 1) / align * align);
}

void* AllocateOrThrow(size_t size) {
    if (void* block = Allocate(size))
        return block;
    throw std::bad_alloc();
}

} // namespace

void* operator new(size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new(size_t size, std::align_val_t alignment) {
    if (void* block = AllocateAligned(size, alignment))
        return block;
    throw std::bad_alloc();
}
void* operator new[](size_t size, std::align_val_t alignment) {
    return operator new(size, alignment);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}
void operator delete(void* block, std::align_val_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    std::free(block);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, size_t) noexcept {
    std::free(block);
}

namespace {

// Blocks above `bytes` fail while the object lives.
class AllocationLimit {
public:
    explicit AllocationLimit(size_t bytes) { g_failAbove = bytes; }
    ~AllocationLimit() { g_failAbove = 0; }
};

void Fill(CVxLUT& lut, uint32_t size, bool is3D) {
    ASSERT_TRUE(lut.Create(size, is3D));
    for (size_t i = 0; i < lut.FloatCount(); ++i)
        lut.m_data[i] = static_cast<float>(i % 7) * 0.125f;
}

TEST(AllocationFailure, CreateLeavesTheTableEmpty) {
    // The table before, the one asked for, and the allocation limit.
    const std::tuple<uint32_t, bool, uint32_t, bool, size_t> cases[] = {
        {0, false, 64, true, 1 << 20},     // 4 MB
        {2, true, 100, true, 1 << 20},     // 16 MB, after a lattice
        {5, false, 65536, false, 1 << 19}, // 1 MB, after a table
    };
    for (const auto& [oldSize, oldIs3D, size, is3D, bytes] : cases) {
        CVxLUT lut;
        if (oldSize)
            Fill(lut, oldSize, oldIs3D);
        lut.SetDomainUniform(-1.0f, 2.0f);
        AllocationLimit limit(bytes);
        EXPECT_FALSE(lut.Create(size, is3D)) << size;
        EXPECT_EQ(std::tuple(lut.m_size, lut.m_is3D, lut.m_data, lut.m_domainMin[0]),
                  std::tuple(0u, false, nullptr, -1.0f))
            << size;
    }
}

TEST(AllocationFailure, ResampleLeavesTheTableAsItWas) {
    const std::tuple<uint32_t, bool, uint32_t, size_t> cases[] = {
        {9, true, 129, 16 << 20},   // the work lattice (34 MB)
        {64, true, 2, 6 << 10},     // the line buffers (7 KB), after the lattice (4 KB)
        {4, false, 65536, 1 << 19}, // the new table (1 MB)
    };
    for (const auto& [size, is3D, newSize, bytes] : cases) {
        CVxLUT lut;
        Fill(lut, size, is3D);
        lut.SetDomainUniform(0.0f, 2.0f);
        auto state = [&lut] {
            return std::make_tuple(lut.m_size, lut.m_is3D, lut.m_data, lut.m_greenStride,
                                   lut.m_blueStride, lut.m_lookupScale[0]);
        };
        const auto before = state();
        const std::vector<float> entries(lut.m_data, lut.m_data + lut.FloatCount());
        {
            AllocationLimit limit(bytes);
            EXPECT_FALSE(lut.Resample(newSize)) << size << " to " << newSize;
        }
        EXPECT_EQ(state(), before);
        EXPECT_EQ(std::vector<float>(lut.m_data, lut.m_data + entries.size()), entries);
    }
}

TEST(AllocationFailure, LoadingLeavesTheTableEmpty) {
    // The file (215 KB) is read, the 33-point lattice (575 KB) is refused; with
    // the lower limit the file itself cannot be read.
    std::string cube = "LUT_3D_SIZE 33\n";
    for (int i = 0; i < 33 * 33 * 33; ++i)
        cube += "0 0 0\n";
    ScratchFolder folder;
    const CVxString path(folder.Write("big.lut", cube).c_str());
    for (size_t bytes : {size_t(300) << 10, size_t(100) << 10}) {
        CVxLUT lut;
        AllocationLimit limit(bytes);
        EXPECT_FALSE(lut.Load(SystemLuts::Plain(), path, false,
                              CVxLUT::EDimensionRequirement::eAnyDimension, false));
        EXPECT_EQ(lut.m_size, 0u);
        EXPECT_EQ(lut.m_data, nullptr);
    }
}

} // namespace
