#pragma once

#include <cstdint>
#include <functional>

// The number of threads a CPU-bound loop may use: the machine's cores, at
// least 1 and at most 8.
uint32_t DefaultThreadCount();

// Calls work(band, first, end) over [0, count) split into threadCount
// contiguous bands, one per thread (the calling thread takes band 0). Bands
// whose thread cannot be started run on the calling thread.
void ParallelBands(uint32_t count, uint32_t threadCount,
                   const std::function<void(uint32_t, uint32_t, uint32_t)>& work);
