#include "inspect/comparison.h"

#include "foundation/parallel_bands.h"
#include "inspect/colour_difference.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::vector<float> MakeComparisonInputs(uint32_t size) {
    const uint32_t n = std::max(size, 2u);
    std::vector<float> inputs;
    inputs.reserve(3 * (ComparisonNodeCount(n) + ComparisonNodeCount(n - 1)));
    auto addGrid = [&](uint32_t count, double offset) {
        const double step = 1.0 / (n - 1);
        for (uint32_t b = 0; b < count; ++b)
            for (uint32_t g = 0; g < count; ++g)
                for (uint32_t r = 0; r < count; ++r)
                    for (uint32_t index : {r, g, b})
                        inputs.push_back(static_cast<float>((index + offset) * step));
    };
    addGrid(n, 0.0);
    addGrid(n - 1, 0.5);
    return inputs;
}

size_t ComparisonNodeCount(uint32_t size) {
    return size_t(size) * size * size;
}

double Percentile999(double* values, size_t count) {
    if (count == 0)
        return 0.0;
    const size_t rank = (999 * count + 999) / 1000; // ceil(0.999 count), 1-based
    std::nth_element(values, values + (rank - 1), values + count);
    return values[rank - 1];
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

// The per-colour differences, one array per measure: the three channels in
// codes, then the ΔE00.
struct Differences {
    std::vector<double> measure[4];
};

constexpr int kDeltaE = 3;

// One figure to compute: a measure (0-2 a channel, 3 the ΔE00, 4 the three
// channels together) over the colours [first, end).
struct FigureJob {
    int measure;
    size_t first, end;
    DifferenceFigures* out;
};
constexpr int kThreeChannels = 4;

void ComputeFigure(const Differences& d, const FigureJob& job, std::vector<double>& scratch) {
    const int firstMeasure = job.measure == kThreeChannels ? 0 : job.measure;
    const int endMeasure = job.measure == kThreeChannels ? 3 : job.measure + 1;
    scratch.clear();
    double sum = 0.0, max = 0.0;
    for (int m = firstMeasure; m < endMeasure; ++m) {
        const double* values = d.measure[m].data();
        for (size_t i = job.first; i < job.end; ++i) {
            sum += values[i];
            max = std::max(max, values[i]);
        }
        scratch.insert(scratch.end(), values + job.first, values + job.end);
    }
    if (scratch.empty())
        return;
    job.out->max = max;
    job.out->mean = sum / double(scratch.size());
    job.out->p99_9 = Percentile999(scratch.data(), scratch.size());
}

// Keeps the worst colours by ΔE00, the earlier input first among equals.
std::vector<WorstColour> WorstColours(const ComparisonData& data, const std::vector<double>& de) {
    std::vector<size_t> worst;
    for (size_t i = 0; i < data.colourCount; ++i) {
        if (worst.size() == kWorstColourCount && !(de[i] > de[worst.back()]))
            continue;
        auto place =
            std::find_if(worst.begin(), worst.end(), [&](size_t kept) { return de[i] > de[kept]; });
        worst.insert(place, i);
        if (worst.size() > kWorstColourCount)
            worst.pop_back();
    }
    std::vector<WorstColour> colours(worst.size());
    for (size_t k = 0; k < worst.size(); ++k) {
        const size_t at = 3 * worst[k];
        std::copy_n(data.inputs + at, 3, colours[k].input);
        std::copy_n(data.outputsA + at, 3, colours[k].outputA);
        std::copy_n(data.outputsB + at, 3, colours[k].outputB);
        colours[k].deltaE = de[worst[k]];
    }
    return colours;
}

} // namespace

Comparison CompareOutputs(const ComparisonData& data, const ComparisonTolerance& tolerance,
                          uint32_t threadCount) {
    const size_t n = data.colourCount;
    const size_t nodes = std::min(data.nodeCount, n);
    Differences d;
    for (std::vector<double>& m : d.measure)
        m.resize(n);
    ParallelBands(static_cast<uint32_t>(n), threadCount,
                  [&](uint32_t, uint32_t first, uint32_t end) {
                      for (size_t i = first; i < end; ++i) {
                          const float* a = data.outputsA + 3 * i;
                          const float* b = data.outputsB + 3 * i;
                          for (int c = 0; c < 3; ++c)
                              d.measure[c][i] = CodeDifference(a[c], b[c]);
                          d.measure[kDeltaE][i] = ColourDeltaE(a, b);
                      }
                  });

    Comparison result;
    result.tolerance = tolerance;
    result.nodes.colours = nodes;
    result.centres.colours = n - nodes;
    result.all.colours = n;
    std::vector<FigureJob> jobs;
    for (ColourSetFigures* set : {&result.nodes, &result.centres, &result.all}) {
        const size_t first = set == &result.centres ? nodes : 0;
        const size_t end = set == &result.nodes ? nodes : n;
        for (int c = 0; c < 3; ++c)
            jobs.push_back({c, first, end, &set->codes[c]});
        jobs.push_back({kThreeChannels, first, end, &set->codes[kChannelsAll]});
        jobs.push_back({kDeltaE, first, end, &set->deltaE});
    }
    ParallelBands(static_cast<uint32_t>(jobs.size()), threadCount,
                  [&](uint32_t, uint32_t first, uint32_t end) {
                      std::vector<double> scratch;
                      for (uint32_t j = first; j < end; ++j)
                          ComputeFigure(d, jobs[j], scratch);
                  });

    result.worst = WorstColours(data, d.measure[kDeltaE]);
    result.withinTolerance = result.all.codes[kChannelsAll].max <= tolerance.codes &&
                             (!tolerance.deltaE || result.all.deltaE.max <= *tolerance.deltaE);
    return result;
}
