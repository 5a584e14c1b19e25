// Loads the bytes as a LUT file under one of the dimension requirements, with
// or without upsampling and the curve fallback, and looks up a few colours in
// what loaded. The mode follows from the bytes, so that every input always
// loads the same way and the fuzzer spreads its inputs over all modes.
#include "fuzz_support.h"

#include "lut/lut.h"
#include "lut/ocio_reader.h"

namespace {

using EDimensionRequirement = CVxLUT::EDimensionRequirement;

struct LoadMode {
    bool upsample;
    EDimensionRequirement requirement;
    bool curveFallback;
};

constexpr LoadMode kModes[] = {
    {false, EDimensionRequirement::eAnyDimension, true},
    {true, EDimensionRequirement::eAnyDimension, false},
    {true, EDimensionRequirement::eOnly1D, true},
    {false, EDimensionRequirement::eOnly3D, false},
};

void ApplyProbes(const CVxLUT& lut) {
    static const float kProbes[][3] = {
        {0, 0, 0}, {1, 1, 1}, {0.25f, 0.5f, 0.75f}, {-1, 2, 0.5f}, {1e30f, -1e30f, 0}};
    for (const auto& probe : kProbes) {
        float rgb[3] = {probe[0], probe[1], probe[2]};
        lut.Apply(rgb);
    }
}

} // namespace

// A .lut that nothing else reads goes to OpenColorIO, whose Discreet 1D reader
// (2.1) leaks the table it read when it then refuses the table's length. The
// leak is OpenColorIO's own; anything leaked elsewhere is still reported.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libOpenColorIO\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The scratch file is rewritten for every input: OpenColorIO must not answer from its cache.
    ClearOcioCaches();
    const CVxString path = fuzz::WriteScratchFile("input.lut", data, size);
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += data[i];
    const LoadMode& mode = kModes[sum % (sizeof kModes / sizeof kModes[0])];
    CVxLUT lut;
    if (lut.Load(fuzz::Luts().source, path, mode.upsample, mode.requirement, mode.curveFallback) &&
        !lut.IsEmpty())
        ApplyProbes(lut);
    return 0;
}
