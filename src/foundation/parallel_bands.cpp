#include "foundation/parallel_bands.h"

#include <system_error>
#include <thread>
#include <vector>

uint32_t DefaultThreadCount() {
    const uint32_t cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : (cores > 8 ? 8 : cores);
}

void ParallelBands(uint32_t count, uint32_t threadCount,
                   const std::function<void(uint32_t, uint32_t, uint32_t)>& work) {
    if (threadCount <= 1 || count <= 1) {
        work(0, 0, count);
        return;
    }
    auto bandStart = [&](uint32_t band) { return uint32_t(uint64_t(count) * band / threadCount); };
    std::vector<std::thread> helpers;
    helpers.reserve(threadCount - 1);
    for (uint32_t band = 1; band < threadCount; ++band) {
        try {
            helpers.emplace_back(work, band, bandStart(band), bandStart(band + 1));
        } catch (const std::system_error&) {
            break;
        }
    }
    work(0, 0, bandStart(1));
    for (uint32_t band = uint32_t(helpers.size()) + 1; band < threadCount; ++band)
        work(band, bandStart(band), bandStart(band + 1));
    for (std::thread& helper : helpers)
        helper.join();
}
