#pragma once

// Time per operation of a benchmark, and that time against copying the same
// number of bytes with memcpy: "ms" and "x_memcpy" in the report.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best of several copies of `bytes` bytes between two touched buffers.
inline double MemcpySeconds(size_t bytes) {
    std::vector<char> from(bytes, 1);
    std::vector<char> to(bytes, 2);
    double best = 1e30;
    for (int i = 0; i < 5; ++i) {
        const Clock::time_point start = Clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        best = std::min(best, SecondsSince(start));
    }
    return best;
}

inline void Report(benchmark::State& state, double totalSeconds, size_t bytes) {
    const double perOperation = totalSeconds / static_cast<double>(state.iterations());
    state.counters["ms"] = perOperation * 1000.0;
    state.counters["x_memcpy"] = perOperation / MemcpySeconds(bytes);
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}
