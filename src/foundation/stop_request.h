#pragma once

#include <atomic>

// A request from another thread that long work end early: Python's Ctrl-C,
// say, while a call of the module renders. Work looks at it between pieces
// whose end leaves nothing half made (rows of a render, files of a batch),
// and once it is set, ends as stopped: it fails, and commits no output. Each
// call that can be stopped has a request of its own; a null one is never set.
using StopRequest = std::atomic<bool>;

inline bool StopRequested(const StopRequest* stop) {
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}
