// Reads the bytes as a look and renders its grading into a 9-point lattice
// (and a ramp, for a grading that works on each channel alone), as Cubrel
// mode and a rebuild do.
#include "fuzz_support.h"

#include "look/parsed_look.h"
#include "render/look_to_lut.h"
#include "render/shader_registry.h"

#include <memory>

namespace {

constexpr uint32_t kLatticeSize = 9;
constexpr uint32_t kRampSize = 16;

struct Renderer {
    std::unique_ptr<CVxShaderRegistry> registry;
    std::unique_ptr<CVxSoftwareCompositingEngine> engine;
    float lattice[kLatticeSize * kLatticeSize * kLatticeSize * 3];
    Renderer() {
        registry =
            std::make_unique<CVxShaderRegistry>(fuzz::Luts().files, fuzz::InstallLutsAndShaders());
        engine = std::make_unique<CVxSoftwareCompositingEngine>(
            RenderEnvironment{*registry, fuzz::Luts().source});
        engine->SetThreadCount(1);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Renderer renderer;
    const std::unique_ptr<ParsedLook> look = ReadLook(fuzz::TextOf(data, size));
    if (!look)
        return 0;
    CVxSoftwareCompositingEngine& engine = *renderer.engine;
    engine.RenderLookToLut(look->grading, kLatticeCube, kLatticeSize, renderer.lattice, kRedFastest,
                           CVxString());
    if (look->grading.IsPerChannelOnly(false))
        RenderLattice(engine, look->grading, {.size = kRampSize, .is3D = kLatticeRamp});
    return 0;
}
