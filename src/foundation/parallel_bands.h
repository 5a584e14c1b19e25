#pragma once

#include <cstdint>
#include <functional>

// The number of threads a CPU-bound loop may use: the machine's cores, at
// least 1 and at most 8.
uint32_t DefaultThreadCount();

// The process shares its cores between every thread that computes: the
// starting thread holds one, and a thread started to compute alongside it takes
// another first, so that files run at once and the loops inside each file never
// keep more threads busy than there are cores. Takes up to `wanted` cores and
// returns how many it got (never waits); each must be handed back.
uint32_t TakeSpareCores(uint32_t wanted);
void ReturnSpareCores(uint32_t count);

// Calls work(band, first, end) over [0, count) split into threadCount
// contiguous bands. The bands are the same whatever else runs; the calling
// thread and as many helpers as there are spare cores (threadCount - 1 at most)
// take bands in turn until none is left. Helpers keep the caller's file access
// gate.
void ParallelBands(uint32_t count, uint32_t threadCount,
                   const std::function<void(uint32_t, uint32_t, uint32_t)>& work);
