// Writes the bytes to a file of each extension read through OpenColorIO and
// applies each to a small lattice; OpenColorIO tries the parser of the
// extension first, then the others. One of the files, chosen by the bytes so
// that an input always runs the same way, is also loaded as a LUT, and a few
// colours are looked up in what loaded: a loaded LUT costs a lattice of up to
// 129 points, too slow to build twelve times an input.
#include "fuzz_support.h"

#include "lut/lut.h"
#include "lut/ocio_reader.h"

namespace {

const char* const kNames[] = {"input.clf",    "input.ctf", "input.cc",    "input.cdl",
                              "input.ccc",    "input.csp", "input.spi1d", "input.spi3d",
                              "input.spimtx", "input.mga", "input.m3d",   "input.vf"};

void ApplyProbes(const CVxLUT& lut) {
    static const float kProbes[][3] = {{0, 0, 0}, {1, 1, 1}, {0.25f, 0.5f, 0.75f}, {-1, 2, 0.5f}};
    for (const auto& probe : kProbes) {
        float rgb[3] = {probe[0], probe[1], probe[2]};
        lut.Apply(rgb);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every input rewrites the same files, which OpenColorIO would otherwise
    // serve from what it parsed for an earlier input.
    ClearOcioCaches();
    for (const char* name : kNames) {
        OcioFileTransform transform;
        float lattice[3 * 3 * 3 * 3];
        if (transform.Open(fuzz::Luts().files, fuzz::WriteScratchFile(name, data, size)))
            transform.ApplyToLattice(3, lattice);
    }
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += data[i];
    const char* name = kNames[sum % (sizeof kNames / sizeof kNames[0])];
    CVxLUT lut;
    if (lut.Load(fuzz::Luts().source, fuzz::WriteScratchFile(name, data, size), false,
                 CVxLUT::EDimensionRequirement::eAnyDimension, false) &&
        !lut.IsEmpty())
        ApplyProbes(lut);
    return 0;
}
