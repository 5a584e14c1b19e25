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

// The source rows or columns an axis reads, each once, and where each output
// node finds its two neighbours among them.
struct AxisReads {
    std::vector<uint32_t> sources;      // offsets into the LUT's entries
    std::vector<uint32_t> below, above; // per output node: indices into `sources`
};

AxisReads ReadsOf(const std::vector<AxisStep>& steps) {
    AxisReads reads;
    std::vector<uint32_t> offsets;
    for (const AxisStep& step : steps)
        offsets.insert(offsets.end(), {step.below, step.above});
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    reads.sources = offsets;
    const auto indexOf = [&offsets](uint32_t offset) {
        return static_cast<uint32_t>(std::lower_bound(offsets.begin(), offsets.end(), offset) -
                                     offsets.begin());
    };
    for (const AxisStep& step : steps) {
        reads.below.push_back(indexOf(step.below));
        reads.above.push_back(indexOf(step.above));
    }
    return reads;
}

// Blue first, then red, then green, each step rounded to float, as Apply does;
// done one axis at a time over a blue slice, so that the steps of an axis are
// taken once for every node that shares them, with the same results.
void EvaluateThreeD(const CVxLUT& lut, uint32_t n, float low, float high, float* rgb) {
    const bool exact = IsOwnDomain(lut, low, high);
    if (exact && n == lut.m_size) {
        // Every node is one of the table's own.
        for (uint64_t node = 0; node < uint64_t(n) * n * n; ++node)
            std::copy(lut.m_data + node * 4, lut.m_data + node * 4 + 3, rgb + node * 3);
        return;
    }
    const uint32_t strides[3] = {4, lut.m_greenStride, lut.m_blueStride};
    std::vector<AxisStep> steps[3];
    for (int c = 0; c < 3; ++c)
        steps[c] = exact ? ExactSteps(lut.m_size, n, strides[c])
                         : StepsOfChannel(lut, c, n, low, high, strides[c]);
    const AxisReads reds = ReadsOf(steps[0]), greens = ReadsOf(steps[1]);
    const size_t redCount = reds.sources.size(), greenCount = greens.sources.size();
    const float* data = lut.m_data;
    const uint32_t threads = n >= 16 ? DefaultThreadCount() : 1;
    ParallelBands(n, threads, [&](uint32_t, uint32_t firstBlue, uint32_t endBlue) {
        std::vector<float> alongBlue(greenCount * redCount * 3), alongRed(greenCount * n * 3);
        for (uint32_t b = firstBlue; b < endBlue; ++b) {
            const AxisStep& blue = steps[2][b];
            float* lerped = alongBlue.data();
            for (const uint32_t green : greens.sources)
                for (const uint32_t red : reds.sources) {
                    const float* below = data + blue.below + green + red;
                    const float* above = data + blue.above + green + red;
                    for (int c = 0; c < 3; ++c)
                        *lerped++ = LerpFloat(below[c], above[c], blue.fraction);
                }
            lerped = alongRed.data();
            for (size_t g = 0; g < greenCount; ++g) {
                const float* row = alongBlue.data() + g * redCount * 3;
                for (uint32_t r = 0; r < n; ++r) {
                    const float* left = row + size_t(reds.below[r]) * 3;
                    const float* right = row + size_t(reds.above[r]) * 3;
                    for (int c = 0; c < 3; ++c)
                        *lerped++ = LerpFloat(left[c], right[c], steps[0][r].fraction);
                }
            }
            float* out = rgb + uint64_t(b) * n * n * 3;
            for (uint32_t g = 0; g < n; ++g) {
                const float* near = alongRed.data() + size_t(greens.below[g]) * n * 3;
                const float* far = alongRed.data() + size_t(greens.above[g]) * n * 3;
                const float fraction = steps[1][g].fraction;
                for (uint32_t i = 0; i < n * 3; ++i)
                    *out++ = LerpFloat(near[i], far[i], fraction);
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
