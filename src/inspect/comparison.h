#pragma once

#include "platform/large_buffer.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>
#include <vector>

// The allocator of vectors that their users fill whole before reading: large
// pages, and elements left unset when the vector is sized, since zeroing the
// 6 MB of a comparison's values first would touch them all on one thread.
template <typename T> struct UnsetLargePageAllocator : platform::LargePageAllocator<T> {
    template <typename U> struct rebind { using other = UnsetLargePageAllocator<U>; };
    UnsetLargePageAllocator() = default;
    template <typename U> UnsetLargePageAllocator(const UnsetLargePageAllocator<U>&) {}
    template <typename U> void construct(U* place) noexcept { ::new (static_cast<void*>(place)) U; }
    template <typename U, typename... Arguments>
    void construct(U* place, Arguments&&... arguments) {
        ::new (static_cast<void*>(place)) U(std::forward<Arguments>(arguments)...);
    }
};

// Floats by the million, touched once: behind whole large pages where the
// system has them, since a first touch of small pages costs far more.
using LargeFloats = std::vector<float, UnsetLargePageAllocator<float>>;

// The colours two transforms are compared at, for a lattice of `size` nodes
// per axis (2 or more): every node (size³, red fastest), then the centre of
// every cell ((size - 1)³, red fastest), so that transforms held at other sizes
// are compared between their nodes too. Three floats per colour; the nodes are
// ComparisonNodeCount(size) colours.
LargeFloats MakeComparisonInputs(uint32_t size);

// `count` floats, not set: the caller sets every one.
LargeFloats LargeFloatVector(size_t count);
size_t ComparisonNodeCount(uint32_t size);

// What the two transforms gave at each input: three floats per colour, in the
// order of the inputs, the nodes first.
struct ComparisonData {
    const float* inputs = nullptr;
    const float* outputsA = nullptr;
    const float* outputsB = nullptr;
    size_t colourCount = 0;
    size_t nodeCount = 0;
};

// Beyond tolerance when the largest difference over all colours and channels,
// in 10-bit codes, is above `codes`, or, when given, the largest ΔE00 above `deltaE`.
struct ComparisonTolerance {
    double codes = 1.0;
    std::optional<double> deltaE;
};

// Largest, mean and 99.9th percentile of a set of differences. The percentile
// is the nearest rank: the ceil(0.999 n)-th smallest of the n values.
struct DifferenceFigures {
    double max = 0.0, mean = 0.0, p99_9 = 0.0;
};

enum ComparisonChannel : uint8_t { kChannelR, kChannelG, kChannelB, kChannelsAll };

// The figures of one set of colours: differences in 10-bit codes per channel and
// over all three (kChannelsAll: the mean and percentile over colours and
// channels), and the ΔE00.
struct ColourSetFigures {
    size_t colours = 0;
    DifferenceFigures codes[4];
    DifferenceFigures deltaE;
};

struct WorstColour {
    float input[3] = {}, outputA[3] = {}, outputB[3] = {};
    double deltaE = 0.0;
};

struct Comparison {
    ColourSetFigures nodes, centres, all;
    // The colours of largest ΔE00, largest first (the earlier input first
    // among equals); at most kWorstColourCount.
    std::vector<WorstColour> worst;
    ComparisonTolerance tolerance;
    bool withinTolerance = true;
};

inline constexpr size_t kWorstColourCount = 5;

// Differences in codes are |A - B| x 1023 on the values as they are, above 1
// and below 0 too, unrounded; two equal values (both NaN included) differ by 0,
// a NaN and a number by infinity. The ΔE00 reads both outputs as sRGB display
// values clamped to [0, 1] (NaN as 0). Every figure is the same whatever
// `threadCount`, which only shares out the work.
Comparison CompareOutputs(const ComparisonData& data, const ComparisonTolerance& tolerance,
                          uint32_t threadCount);

// The nearest-rank 99.9th percentile of values[0..count): the ceil(0.999 count)-th
// smallest; 0 for no values.
double Percentile999(const double* values, size_t count);
