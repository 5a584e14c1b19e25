#include "render/base_first_pass.h"
#include "render/lut_sampling.h"

#include "base_layer.h"

namespace {

TEST(BaseFirstPass, StepsAndColours) {
    // Tonal weights at Y are those of the row at Y * 1023/1024.
    const float high = 2 * (0.8f * 1023 / 1024 - 0.5f);
    const float low = 1 - 2 * (0.4f * 1023 / 1024);
    const Rgb ramp = {0.2f, 0.4f, 0.6f}, gray4 = {0.4f, 0.4f, 0.4f}, gray8 = {0.8f, 0.8f, 0.8f};
    const Rgb midGamma = {0.4f, low * 0.4f + (1 - low) * 0.064f, 0.4f};
    const std::string matrix =
        "matrixR.x=0.5 matrixR.y=0.25 matrixR.w=0.1 matrixG.z=2 matrixB.x=-1";
    const std::string swap = "matrixR.x=0 matrixR.y=1 matrixG.x=1 matrixG.y=0";
    const BasePassCase cases[] = {
        {matrix, "Base.1[Matrix]", ramp, {0.3f, 1.6f, 0.4f}},
        {"saturation=0.5", "Base.1[SingleRange]", {0.8f, 0.4f, 0.2f}, {0.6484f, 0.4484f, 0.3484f}},
        {"offset.x=0.1", "Base.1[SingleRange]", ramp, {0.3f, 0.4f, 0.6f}},
        {"gamma.x=1", "Base.1[SingleRange,GammaLow]", {0.5f, -0.2f, 1.5f}, {0.125f, 0, 1.5f}},
        {"gainHigh.x=1", "Base.1[TonalSplit]", gray8, {0.8f * (1 + high), 0.8f, 0.8f}},
        {"gammaMid.y=1", "Base.1[TonalSplit,GammaMid]", gray4, midGamma},
        {"Picking=1", "Base.1[]", {0.2f, 2, -1}, {0.2f, 2, -1}},
        // Curve on red, then red and green swapped, then the lattice.
        {swap, "Base.1[MatrixLUT,Matrix,BaseLUT]", {0.5f, 0.25f, 1}, {0.75f, 0.3f, 0.25f}, 2},
        {"", "Base.1[BaseLUT]", {0.25f, 0.5f, 0.75f}, {0.75f, 0.4375f, 0.1875f}, 1},
    };
    // Unit 6: red through its own curve, green and blue unchanged; unit 3: a lattice.
    const std::unique_ptr<CVxLUT> curve = MakeTable({{0, 0, 0}, {0.1f, 0.5f, 0.5f}, {1, 1, 1}});
    const std::unique_ptr<CVxLUT> lattice = MakeLattice(3, Multilinear);
    const LutTexture matrixLut = MakeLutTexture(*curve);
    const LutTexture baseLut = MakeLutTexture(*lattice);
    for (const BasePassCase& c : cases)
        ExpectPassColour(c, &matrixLut, &baseLut);
}

} // namespace
