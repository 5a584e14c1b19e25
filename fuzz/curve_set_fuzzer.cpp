// Reads the bytes as a curve-set file, with and without the LUT attempt, and
// samples what was read.
#include "fuzz_support.h"

#include "lut/curve_set.h"

#include <new>

namespace {

constexpr uint32_t kSamples = 64;
// Enough for every script of the seeds; a runaway one ends within the timeout.
constexpr uint64_t kScriptStepBudget = 1000000;

void ReadAndSample(const CVxString& path, bool tryLut) {
    CurveSetHolder set(new CVxCurveSet());
    set->SetScriptStepBudget(kScriptStepBudget);
    FrameworkError error;
    if (!set->Read(fuzz::Luts().source, path, &error, tryLut))
        return;
    for (int channel = 0; channel < CVxCurveSet::kChannels; ++channel)
        set->Curve(static_cast<CVxCurveSet::EChannel>(channel));
    set->Lattice();
    static float samples[kSamples * 4];
    set->Sample(kSamples, samples);
    set->Sample(2, samples);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CVxString path = fuzz::WriteScratchFile("curves.txt", data, size);
    ReadAndSample(path, false);
    ReadAndSample(path, true);
    return 0;
}
