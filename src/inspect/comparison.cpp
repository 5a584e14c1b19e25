#include "inspect/comparison.h"

#include "foundation/parallel_bands.h"
#include "inspect/colour_difference.h"
#include "platform/large_buffer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>

LargeFloats LargeFloatVector(size_t count) {
    return LargeFloats(count);
}

LargeFloats MakeComparisonInputs(uint32_t size) {
    const uint32_t n = std::max(size, 2u);
    LargeFloats inputs =
        LargeFloatVector(3 * (ComparisonNodeCount(n) + ComparisonNodeCount(n - 1)));
    float* out = inputs.data();
    auto addGrid = [&](uint32_t count, double offset) {
        std::vector<float> axis(count);
        for (uint32_t i = 0; i < count; ++i)
            axis[i] = static_cast<float>((i + offset) * (1.0 / (n - 1)));
        for (uint32_t b = 0; b < count; ++b)
            for (uint32_t g = 0; g < count; ++g)
                for (uint32_t r = 0; r < count; ++r, out += 3) {
                    out[0] = axis[r];
                    out[1] = axis[g];
                    out[2] = axis[b];
                }
    };
    addGrid(n, 0.0);
    addGrid(n - 1, 0.5);
    return inputs;
}

size_t ComparisonNodeCount(uint32_t size) {
    return size_t(size) * size * size;
}

namespace {

// How many of n values lie at or above their 99.9th percentile by nearest rank:
// it is the smallest of the n - ceil(0.999 n) + 1 largest.
size_t TopCount(size_t n) {
    return n - (999 * n + 999) / 1000 + 1;
}

// The largest of the values seen and at least the `keep` largest of them, in
// one pass without sorting anything: a value enters only above `floor`, the
// keep-th largest when the candidates were last cut down to `keep`, since
// below it no value can be among them. Neither depends on the order the values
// come in. (Values are never NaN.)
struct Tally {
    size_t keep = 0;
    double max = 0.0;
    double floor = -std::numeric_limits<double>::infinity();
    std::vector<double> largest;

    void Take(double v) {
        max = std::max(max, v);
        if (v > floor) {
            largest.push_back(v);
            if (largest.size() >= 4 * keep)
                CutDown();
        }
    }

    // Returns the sum of the values, added in order.
    double Add(const double* values, size_t n) {
        double sum = 0.0;
        for (size_t i = 0; i < n; ++i) {
            sum += values[i];
            Take(values[i]);
        }
        return sum;
    }

    void CutDown() {
        const auto kth = largest.begin() + static_cast<std::ptrdiff_t>(keep - 1);
        std::nth_element(largest.begin(), kth, largest.end(), std::greater<>());
        floor = *kth;
        largest.resize(keep);
    }
};

// The figures of `count` values from their sum, their largest, and at least
// their TopCount largest values (which it reorders).
DifferenceFigures FiguresOf(size_t count, double sum, double max, std::vector<double>& largest) {
    if (count == 0)
        return {};
    const auto kth = largest.begin() + (TopCount(count) - 1);
    std::nth_element(largest.begin(), kth, largest.end(), std::greater<>());
    return {max, sum / double(count), *kth};
}

} // namespace

double Percentile999(const double* values, size_t count) {
    Tally tally;
    tally.keep = TopCount(count);
    const double sum = tally.Add(values, count);
    return FiguresOf(count, sum, tally.max, tally.largest).p99_9;
}

namespace {

double CodeDifference(float a, float b) {
    if (a == b || (std::isnan(a) && std::isnan(b)))
        return 0.0;
    if (std::isnan(a) || std::isnan(b))
        return std::numeric_limits<double>::infinity();
    return std::fabs(double(a) - double(b)) * 1023.0;
}

double ClampUnit(float v) {
    return v > 0.0f ? (v < 1.0f ? double(v) : 1.0) : 0.0;
}

double ColourDeltaE(const float* a, const float* b) {
    const double a0 = ClampUnit(a[0]), a1 = ClampUnit(a[1]), a2 = ClampUnit(a[2]);
    const double b0 = ClampUnit(b[0]), b1 = ClampUnit(b[1]), b2 = ClampUnit(b[2]);
    if (a0 == b0 && a1 == b1 && a2 == b2)
        return 0.0;
    return DeltaE2000(SrgbToLab(a0, a1, a2), SrgbToLab(b0, b1, b2));
}

// The measures the figures are of: the three channels in codes, the ΔE00, and
// the three channels together.
constexpr int kMeasureCount = 5;
constexpr int kDeltaE = 3;
constexpr int kThreeChannels = 4;

// The colours are taken in blocks that never straddle the nodes and the
// centres; each block's sums are kept apart and added up in block order, so
// that no sum depends on how the blocks are shared between threads.
constexpr size_t kBlockColours = 4096;

struct Block {
    size_t first, end;
    bool centres;
};

std::vector<Block> Blocks(size_t nodes, size_t all) {
    std::vector<Block> blocks;
    for (size_t first = 0; first < all; first = blocks.back().end) {
        const size_t limit = first < nodes ? nodes : all;
        blocks.push_back({first, std::min(first + kBlockColours, limit), first >= nodes});
    }
    return blocks;
}

// What one thread gathers: a tally per measure of the nodes and of the
// centres, and its worst colours as (ΔE00, index).
struct BandTallies {
    Tally tallies[2][kMeasureCount];
    std::vector<std::pair<double, size_t>> worst;
};

// Worse first: the larger ΔE00, then the earlier input.
bool Worse(const std::pair<double, size_t>& x, const std::pair<double, size_t>& y) {
    return x.first > y.first || (x.first == y.first && x.second < y.second);
}

void InsertWorse(std::vector<std::pair<double, size_t>>& worst, std::pair<double, size_t> colour) {
    worst.insert(std::upper_bound(worst.begin(), worst.end(), colour, Worse), colour);
    if (worst.size() > kWorstColourCount)
        worst.pop_back();
}

// Asked of every colour, and nearly always answered by the first test.
inline void KeepWorst(std::vector<std::pair<double, size_t>>& worst,
                      std::pair<double, size_t> colour) {
    if (worst.size() < kWorstColourCount || Worse(colour, worst.back()))
        InsertWorse(worst, colour);
}

// The differences of one block's colours: the three channels, then the ΔE00.
struct BlockValues {
    double measure[kMeasureCount - 1][kBlockColours];
};

// The differences of one block, then its tallies and sums.
void TallyBlock(const ComparisonData& data, const Block& block, BandTallies& band,
                BlockValues& blockValues, double* sums) {
    auto& values = blockValues.measure;
    const size_t count = block.end - block.first;
    for (size_t k = 0; k < count; ++k) {
        const float* a = data.outputsA + 3 * (block.first + k);
        const float* b = data.outputsB + 3 * (block.first + k);
        for (int c = 0; c < 3; ++c)
            values[c][k] = CodeDifference(a[c], b[c]);
        values[kDeltaE][k] = ColourDeltaE(a, b);
        KeepWorst(band.worst, {values[kDeltaE][k], block.first + k});
    }
    // The measures' sums run side by side, each adding its values in order:
    // one after the other, each would wait on its own additions.
    Tally* tallies = band.tallies[block.centres];
    double sum[kThreeChannels] = {};
    for (size_t k = 0; k < count; ++k)
        for (int m = 0; m < kThreeChannels; ++m) {
            sum[m] += values[m][k];
            tallies[m].Take(values[m][k]);
            if (m != kDeltaE)
                tallies[kThreeChannels].Take(values[m][k]);
        }
    std::copy_n(sum, kThreeChannels, sums);
    // The three channels' sums, each of its channel's values in order.
    sums[kThreeChannels] = 0.0 + sum[kChannelR] + sum[kChannelG] + sum[kChannelB];
}

std::vector<WorstColour> WorstColours(const ComparisonData& data,
                                      const std::vector<std::pair<double, size_t>>& worst) {
    std::vector<WorstColour> colours(worst.size());
    for (size_t k = 0; k < worst.size(); ++k) {
        const size_t at = 3 * worst[k].second;
        std::copy_n(data.inputs + at, 3, colours[k].input);
        std::copy_n(data.outputsA + at, 3, colours[k].outputA);
        std::copy_n(data.outputsB + at, 3, colours[k].outputB);
        colours[k].deltaE = worst[k].first;
    }
    return colours;
}

DifferenceFigures& FiguresFor(ColourSetFigures& set, int measure) {
    return measure == kDeltaE ? set.deltaE
                              : set.codes[measure == kThreeChannels ? kChannelsAll : measure];
}

} // namespace

Comparison CompareOutputs(const ComparisonData& data, const ComparisonTolerance& tolerance,
                          uint32_t threadCount) {
    const size_t n = data.colourCount;
    const size_t nodes = std::min(data.nodeCount, n);
    const std::vector<Block> blocks = Blocks(nodes, n);
    std::vector<double> sums(blocks.size() * kMeasureCount);
    std::vector<BandTallies> bands(std::max(threadCount, 1u));
    for (BandTallies& band : bands)
        for (Tally(&set)[kMeasureCount] : band.tallies)
            for (int m = 0; m < kMeasureCount; ++m)
                set[m].keep = TopCount(m == kThreeChannels ? 3 * n : n);
    // Blocks cost more or less with their colours (a neutral or an equal pair
    // skips most of the ΔE00), so each thread takes the next block free rather
    // than a fixed share: no thread waits for another's slower half.
    std::atomic<size_t> nextBlock{0};
    const uint32_t bandCount = static_cast<uint32_t>(bands.size());
    ParallelBands(bandCount, bandCount, [&](uint32_t band, uint32_t, uint32_t) {
        const auto values = std::make_unique<BlockValues>();
        for (size_t b = nextBlock++; b < blocks.size(); b = nextBlock++)
            TallyBlock(data, blocks[b], bands[band], *values, &sums[b * kMeasureCount]);
    });

    Comparison result;
    result.tolerance = tolerance;
    result.nodes.colours = nodes;
    result.centres.colours = n - nodes;
    result.all.colours = n;
    std::vector<std::pair<double, size_t>> worst;
    for (const BandTallies& band : bands)
        for (const auto& colour : band.worst)
            KeepWorst(worst, colour);
    result.worst = WorstColours(data, worst);
    for (int m = 0; m < kMeasureCount; ++m) {
        const size_t perColour = m == kThreeChannels ? 3 : 1;
        double sum[2] = {0.0, 0.0}, max[2] = {0.0, 0.0};
        std::vector<double> largest[2];
        for (size_t b = 0; b < blocks.size(); ++b)
            sum[blocks[b].centres] += sums[b * kMeasureCount + m];
        for (int set = 0; set < 2; ++set)
            for (const BandTallies& band : bands) {
                const Tally& tally = band.tallies[set][m];
                max[set] = std::max(max[set], tally.max);
                largest[set].insert(largest[set].end(), tally.largest.begin(), tally.largest.end());
            }
        FiguresFor(result.nodes, m) = FiguresOf(perColour * nodes, sum[0], max[0], largest[0]);
        FiguresFor(result.centres, m) =
            FiguresOf(perColour * (n - nodes), sum[1], max[1], largest[1]);
        largest[0].insert(largest[0].end(), largest[1].begin(), largest[1].end());
        FiguresFor(result.all, m) =
            FiguresOf(perColour * n, sum[0] + sum[1], std::max(max[0], max[1]), largest[0]);
    }
    result.withinTolerance = result.all.codes[kChannelsAll].max <= tolerance.codes &&
                             (!tolerance.deltaE || result.all.deltaE.max <= *tolerance.deltaE);
    return result;
}
