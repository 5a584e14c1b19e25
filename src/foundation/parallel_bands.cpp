#include "foundation/parallel_bands.h"

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace {

std::atomic<int>& SpareCores() {
    static std::atomic<int> spare{[] {
        const int cores = static_cast<int>(std::thread::hardware_concurrency());
        return cores > 1 ? cores - 1 : 0;
    }()};
    return spare;
}

} // namespace

uint32_t DefaultThreadCount() {
    const uint32_t cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : (cores > 8 ? 8 : cores);
}

uint32_t TakeSpareCores(uint32_t wanted) {
    std::atomic<int>& spare = SpareCores();
    int available = spare.load();
    int taken = 0;
    do {
        taken = available < static_cast<int>(wanted) ? available : static_cast<int>(wanted);
        if (taken <= 0)
            return 0;
    } while (!spare.compare_exchange_weak(available, available - taken));
    return static_cast<uint32_t>(taken);
}

void ReturnSpareCores(uint32_t count) {
    SpareCores().fetch_add(static_cast<int>(count));
}

void ParallelBands(uint32_t count, uint32_t threadCount,
                   const std::function<void(uint32_t, uint32_t, uint32_t)>& work) {
    if (threadCount <= 1 || count <= 1) {
        work(0, 0, count);
        return;
    }
    auto bandStart = [&](uint32_t band) { return uint32_t(uint64_t(count) * band / threadCount); };
    std::atomic<uint32_t> nextBand{0};
    auto takeBands = [&] {
        for (uint32_t band = nextBand++; band < threadCount; band = nextBand++)
            work(band, bandStart(band), bandStart(band + 1));
    };
    const uint32_t cores = TakeSpareCores(threadCount - 1);
    std::vector<std::thread> helpers;
    helpers.reserve(cores);
    for (uint32_t helper = 0; helper < cores; ++helper) {
        try {
            helpers.emplace_back(takeBands);
        } catch (const std::system_error&) {
            break;
        }
    }
    takeBands();
    for (std::thread& helper : helpers)
        helper.join();
    ReturnSpareCores(cores);
}
