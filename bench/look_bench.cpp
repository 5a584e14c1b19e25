// Speed of the baked LUT of a look at 64 and 256 points: writing its hex LUT
// element against copying as many bytes as it writes; reading a whole look
// (the text from memory, the text from a file in the page cache) and loading
// its stored lattice, in gigabytes of look text per second ("GB_per_s").

#include "foundation/file_access.h"
#include "look/look_reader.h"
#include "look/look_writer.h"
#include "lut/lut.h"
#include "lut/lut_formats.h"

#include "../tests/support/scratch_folder.h"
#include "memcpy_ratio.h"

#include <map>
#include <vector>

namespace {

std::vector<float> Lattice(uint32_t n) {
    std::vector<float> lattice(size_t(n) * n * n * 3);
    for (size_t i = 0; i < lattice.size(); ++i)
        lattice[i] = static_cast<float>(i % 1000) / 999.0f;
    return lattice;
}

void BM_LutElement(benchmark::State& state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    const uint64_t entries = uint64_t(n) * n * n;
    const std::vector<float> lattice = Lattice(n);
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

// A look with a base grading and its n-point LUT, as the rebuild writes it; made once per size.
const CVxString& LookText(uint32_t n) {
    static std::map<uint32_t, CVxString> texts;
    CVxString& text = texts[n];
    if (text.IsEmpty()) {
        text = "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n    <base>\n"
               "      <rangeversion>\"2\"</rangeversion>\n      <sublayer0>\n"
               "        <parameters>\n          <Gain.X>\"0.15\"</Gain.X>\n"
               "        </parameters>\n      </sublayer0>\n    </base>\n  </shaders>\n";
        const std::vector<float> lattice = Lattice(n);
        StringSink sink(text);
        WriteLutElement(sink, "LUT", n, lattice.data(), uint64_t(n) * n * n);
        text.Append("</look>\n");
    }
    return text;
}

// Times `read`, which returns the lattice size it found, over a look of n
// points. One untimed read first: the first touch of memory the process never
// had costs more in a virtual machine than in any run that follows.
template <typename Read> void TimeReads(benchmark::State& state, uint32_t n, Read read) {
    const size_t bytes = LookText(n).Length();
    read();
    double total = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const uint32_t size = read();
        total += SecondsSince(start);
        if (size != n)
            state.SkipWithError("the look was not read");
    }
    const double perOperation = total / static_cast<double>(state.iterations());
    state.counters["ms"] = perOperation * 1e3;
    state.counters["GB_per_s"] = static_cast<double>(bytes) / perOperation / 1e9;
}

// The grading of a look read from its text in memory, as every mode does first.
void BM_ReadLookText(benchmark::State& state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    TimeReads(state, n, [&] {
        CVxGradingParamStorage grading;
        std::unique_ptr<CVxShapeMask> mask;
        uint32_t size = 0;
        return ReadLookText(grading, LookText(n), mask, size) ? size : 0;
    });
}
BENCHMARK(BM_ReadLookText)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

// The same from a file in the page cache: reading the text, then the grading.
void BM_ReadLookFile(benchmark::State& state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    const ScratchFolder folder;
    const CVxString& look = LookText(n);
    const CVxString path(
        folder.Write("bench.look", std::string(look.Data(), look.Length())).c_str());
    TimeReads(state, n, [&] {
        CVxGradingParamStorage grading;
        std::unique_ptr<CVxShapeMask> mask;
        uint32_t size = 0;
        CVxString text;
        SystemFileAccess files;
        return ReadTextFile(files, path, text) && ReadLookText(grading, text, mask, size) ? size
                                                                                          : 0;
    });
}
BENCHMARK(BM_ReadLookFile)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

// The look's stored LUT decoded into a lattice, as the loader does with a look's bytes.
void BM_ReadLookLut(benchmark::State& state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    const CVxString& text = LookText(n);
    TimeReads(state, n, [&] {
        CVxLUT lut;
        const EReaderResult result =
            ReadLookLut(lut, reinterpret_cast<const uint8_t*>(text.Data()), text.Length(), false,
                        CVxLUT::EDimensionRequirement::eAnyDimension);
        return result == EReaderResult::eLoaded ? lut.m_size : 0;
    });
}
BENCHMARK(BM_ReadLookLut)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
