#pragma once

#include <cstddef>
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
// take bands in turn until none is left. The helpers are threads kept for the
// whole run, started when first wanted.
void ParallelBands(uint32_t count, uint32_t threadCount,
                   const std::function<void(uint32_t, uint32_t, uint32_t)>& work);

// Starts the helpers that ParallelBands starts on first use, without waiting
// for them, where they are not started yet: a caller that knows a loop over
// every core is coming (a large text to parse once its file is read) has them
// ready by then, instead of starting them when the loop begins.
void StartHelpersAhead();

// Makes `count` chunks and hands them on in order, making the next chunk while
// the one before is handed on: produce(chunk, slot) fills slot 0 or 1 (the
// chunk's parity), and consume(chunk, slot) takes it, returning false to stop
// (no chunk is made after that). Chunk c is made only once chunk c - 2 was
// handed on, so two slots suffice. The chunks are made on a helper thread
// (on the calling thread when none can be started), which takes no spare core:
// handing on is mostly the system's work of writing, and the two sides take
// turns more than they compete. True when every chunk was handed on.
bool PipelineChunks(size_t count, const std::function<void(size_t, int)>& produce,
                    const std::function<bool(size_t, int)>& consume);
