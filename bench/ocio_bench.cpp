// Speed of the files read through OpenColorIO: a 65-point Cubrel lattice from a
// CLF holding a CDL (reading the file, building its processor and applying it
// at every node), and loading CLF files into LUTs: a CDL, which becomes a
// pre-LUT and a 65-point lattice, and a 33-point 3D LUT, which becomes a
// 129-point lattice. Times are milliseconds per operation.

#include "lut/lut.h"
#include "lut/ocio_reader.h"

#include "../tests/support/system_luts.h"
#include "clf_sample.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char kCdlClf[] = "<ProcessList id=\"bench\" compCLFversion=\"3\">\n"
                       "<ASC_CDL inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"Fwd\">\n"
                       "<SOPNode><Slope>1.1 0.9 1.0</Slope><Offset>-0.05 0.02 0</Offset>"
                       "<Power>0.8 1.0 1.2</Power></SOPNode>\n"
                       "<SatNode><Saturation>0.7</Saturation></SatNode>\n"
                       "</ASC_CDL>\n</ProcessList>\n";

std::string TableClf() {
    return ClfWithLattice("");
}

// Writes the file into a folder removed at exit; returns its path in drive form.
CVxString WriteFile(const char* name, const std::string& text) {
    static const struct Folder {
        Folder() {
            char pattern[] = "/tmp/gradeshift-bench-XXXXXX";
            path = mkdtemp(pattern);
        }
        ~Folder() { std::filesystem::remove_all(path); }
        std::string path;
    } folder;
    std::ofstream(folder.path + "/" + name, std::ios::binary) << text;
    std::string path = "Z:" + folder.path + "/" + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return CVxString(path.c_str());
}

void BM_CubrelLatticeFromCdlClf65(benchmark::State& state) {
    const CVxString path = WriteFile("cdl.clf", kCdlClf);
    std::vector<float> lattice(65 * 65 * 65 * 3);
    for (auto _ : state) {
        ClearOcioCaches(); // reading the file is part of each operation
        OcioFileTransform transform;
        if (!transform.Open(SystemLuts::Plain().files, path) ||
            !transform.ApplyToLattice(65, lattice.data()))
            state.SkipWithError("the CLF file could not be applied");
        benchmark::DoNotOptimize(lattice.data());
    }
}
BENCHMARK(BM_CubrelLatticeFromCdlClf65)->Unit(benchmark::kMillisecond);

void BM_LoadClf(benchmark::State& state) {
    const CVxString path =
        state.range(0) == 0 ? WriteFile("cdl.clf", kCdlClf) : WriteFile("table.clf", TableClf());
    for (auto _ : state) {
        ClearOcioCaches();
        CVxLUT lut;
        if (!lut.Load(SystemLuts::Plain(), path, false,
                      CVxLUT::EDimensionRequirement::eAnyDimension, false))
            state.SkipWithError("the CLF file did not load");
    }
}
BENCHMARK(BM_LoadClf)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
