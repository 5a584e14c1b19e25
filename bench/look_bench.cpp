// Speed of writing the baked LUT of a rebuilt look: the hex LUT element of a
// 64- and a 256-point lattice, against copying as many bytes as it writes.

#include "look/look_writer.h"

#include "memcpy_ratio.h"

#include <vector>

namespace {

void BM_LutElement(benchmark::State& state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    const uint64_t entries = uint64_t(n) * n * n;
    std::vector<float> lattice(entries * 3);
    for (size_t i = 0; i < lattice.size(); ++i)
        lattice[i] = static_cast<float>(i % 1000) / 999.0f;
    const size_t length = LutElementLength("LUT", n, entries);
    CVxString out;
    out.Reserve(static_cast<uint32_t>(length + 1));
    double total = 0;
    for (auto _ : state) {
        out.Empty();
        const Clock::time_point start = Clock::now();
        StringSink sink(out);
        const bool written = WriteLutElement(sink, "LUT", n, lattice.data(), entries);
        total += SecondsSince(start);
        benchmark::DoNotOptimize(out.Data());
        if (!written || out.Length() != length)
            state.SkipWithError("the LUT element was not written");
    }
    Report(state, total, length);
}
BENCHMARK(BM_LutElement)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
