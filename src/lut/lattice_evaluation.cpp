#include "lut/lattice_evaluation.h"

#include "foundation/parallel_bands.h"
#include "lut/lut.h"
#include "lut/lut_interpolation.h"

#include <algorithm>
#include <vector>

namespace {

// Where one axis of the output lattice reads the LUT: the two neighbours (as
// offsets into its entries) and the fraction between them. On a node of the
// LUT itself both neighbours are that node.
struct AxisStep {
    uint32_t below = 0;
    uint32_t above = 0;
    float fraction = 0.0f;
};

float NodeInput(uint32_t i, uint32_t n, float low, float high) {
    return static_cast<float>(static_cast<double>(low) +
                              static_cast<double>(i) / (n - 1) * (static_cast<double>(high) - low));
}

// The steps of channel c as Apply finds them: the pre-LUT, then the domain.
std::vector<AxisStep> StepsOfChannel(const CVxLUT& lut, int c, uint32_t n, float low, float high,
                                     uint32_t stride) {
    std::vector<AxisStep> steps(n);
    for (uint32_t i = 0; i < n; ++i) {
        float rgb[3];
        rgb[0] = rgb[1] = rgb[2] = NodeInput(i, n, low, high);
        if (lut.m_preLUT)
            lut.m_preLUT->Apply(rgb);
        const float t = static_cast<float>((static_cast<double>(rgb[c]) - lut.m_domainMin[c]) *
                                           lut.m_lookupScale[c]);
        uint32_t index = 0;
        LocateCell(t, lut.m_size, index, steps[i].fraction);
        steps[i].below = index * stride;
        steps[i].above = (index + 1) * stride;
    }
    return steps;
}

// A table read over its own domain without a pre-LUT: the positions are
// exact fractions, so nodes that coincide with the table's are found exactly.
std::vector<AxisStep> ExactSteps(uint32_t size, uint32_t n, uint32_t stride) {
    std::vector<AxisStep> steps(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint64_t scaled = uint64_t(i) * (size - 1);
        const uint32_t index = static_cast<uint32_t>(scaled / (n - 1));
        const uint32_t remainder = static_cast<uint32_t>(scaled % (n - 1));
        steps[i].below = index * stride;
        steps[i].above = remainder == 0 ? index * stride : (index + 1) * stride;
        steps[i].fraction = static_cast<float>(remainder) / static_cast<float>(n - 1);
    }
    return steps;
}

bool IsOwnDomain(const CVxLUT& lut, float low, float high) {
    if (lut.m_preLUT != nullptr)
        return false;
    for (int c = 0; c < 3; ++c)
        if (lut.m_domainMin[c] != low || lut.m_domainMax[c] != high)
            return false;
    return true;
}

void EvaluateOneD(const CVxLUT& lut, uint32_t n, float low, float high, float* rgb) {
    std::vector<float> axis[3];
    for (int c = 0; c < 3; ++c) {
        const std::vector<AxisStep> steps = IsOwnDomain(lut, low, high)
                                                ? ExactSteps(lut.m_size, n, 4)
                                                : StepsOfChannel(lut, c, n, low, high, 4);
        axis[c].resize(n);
        for (uint32_t i = 0; i < n; ++i)
            axis[c][i] = LerpFloat(lut.m_data[steps[i].below + c], lut.m_data[steps[i].above + c],
                                   steps[i].fraction);
    }
    uint64_t node = 0;
    for (uint32_t b = 0; b < n; ++b)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t r = 0; r < n; ++r, ++node) {
                rgb[node * 3] = axis[0][r];
                rgb[node * 3 + 1] = axis[1][g];
                rgb[node * 3 + 2] = axis[2][b];
            }
}

// Blue first, then red, then green, each step rounded to float, as Apply does.
void EvaluateThreeD(const CVxLUT& lut, uint32_t n, float low, float high, float* rgb) {
    const bool exact = IsOwnDomain(lut, low, high);
    const uint32_t strides[3] = {4, lut.m_greenStride, lut.m_blueStride};
    std::vector<AxisStep> steps[3];
    for (int c = 0; c < 3; ++c)
        steps[c] = exact ? ExactSteps(lut.m_size, n, strides[c])
                         : StepsOfChannel(lut, c, n, low, high, strides[c]);
    const float* data = lut.m_data;
    const uint32_t threads = n >= 16 ? DefaultThreadCount() : 1;
    ParallelBands(n, threads, [&](uint32_t, uint32_t firstBlue, uint32_t endBlue) {
        for (uint32_t b = firstBlue; b < endBlue; ++b) {
            const AxisStep& blue = steps[2][b];
            float* out = rgb + uint64_t(b) * n * n * 3;
            for (uint32_t g = 0; g < n; ++g) {
                const AxisStep& green = steps[1][g];
                for (uint32_t r = 0; r < n; ++r, out += 3) {
                    const AxisStep& red = steps[0][r];
                    const float* c000 = data + red.below + green.below + blue.below;
                    const float* c100 = data + red.above + green.below + blue.below;
                    const float* c010 = data + red.below + green.above + blue.below;
                    const float* c110 = data + red.above + green.above + blue.below;
                    const uint32_t up = blue.above - blue.below;
                    for (int c = 0; c < 3; ++c) {
                        const float r0g0 = LerpFloat(c000[c], c000[up + c], blue.fraction);
                        const float r1g0 = LerpFloat(c100[c], c100[up + c], blue.fraction);
                        const float r0g1 = LerpFloat(c010[c], c010[up + c], blue.fraction);
                        const float r1g1 = LerpFloat(c110[c], c110[up + c], blue.fraction);
                        const float g0 = LerpFloat(r0g0, r1g0, red.fraction);
                        const float g1 = LerpFloat(r0g1, r1g1, red.fraction);
                        out[c] = LerpFloat(g0, g1, green.fraction);
                    }
                }
            }
        }
    });
}

} // namespace

bool EvaluateAtLattice(const CVxLUT& lut, uint32_t n, float low, float high, float* rgb) {
    if (lut.IsEmpty() || lut.m_data == nullptr || n == 0)
        return false;
    if (n == 1) {
        std::fill(rgb, rgb + 3, low);
        lut.Apply(rgb);
        return true;
    }
    if (lut.m_size == 1) {
        for (uint64_t node = 0; node < uint64_t(n) * n * n; ++node)
            for (int c = 0; c < 3; ++c)
                rgb[node * 3 + c] = lut.m_data[c];
        return true;
    }
    if (lut.m_is3D)
        EvaluateThreeD(lut, n, low, high, rgb);
    else
        EvaluateOneD(lut, n, low, high, rgb);
    return true;
}
