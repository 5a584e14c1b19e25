#include "foundation/parallel_bands.h"
#include "lut/curve.h"
#include "lut/lut.h"
#include "platform/large_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// Resampling is a separable Catmull-Rom style Hermite interpolation along red,
// then green, then blue. Every line of the lattice is a curve with points at
// k/(n - 1) and automatic tangents, evaluated at j/(m - 1). Since all lines
// share the same positions, the segment search and the Hermite basis are
// computed once per output position; tangents and the final combination use
// the same helpers as CVxCurve, so the result matches curve evaluation bit
// for bit. Resampling onto the unit domain evaluates each axis at the old
// position of j/(m - 1) instead, holding the end values outside the old domain.

namespace {

constexpr uint32_t kLargest3DSize = 256;
constexpr uint32_t kLargestSize = 65536;

struct OutputPosition {
    uint32_t segment = 0;
    bool atLastPoint = false;
    HermiteBasis weights;
};

// Where the input of new entry j lies on the old axis: (j/(m - 1) - low) * scale.
// Low 0 and scale 1 keep the positions j/(m - 1) of a plain resampling.
struct AxisMapping {
    double low = 0.0;
    double scale = 1.0;
};

// Old positions k/(n - 1) against the new positions.
class ResampleGrid {
public:
    ResampleGrid(uint32_t oldSize, uint32_t newSize, AxisMapping mapping = {})
        : m_oldSize(oldSize), m_widths(oldSize - 1), m_positions(newSize), m_tangentUsed(oldSize),
          m_slopeUsed(oldSize - 1) {
        std::vector<double> oldX(oldSize);
        for (uint32_t k = 0; k < oldSize; ++k) {
            oldX[k] = static_cast<double>(k) / static_cast<double>(oldSize - 1);
        }
        for (uint32_t k = 0; k + 1 < oldSize; ++k) {
            m_widths[k] = oldX[k + 1] - oldX[k];
        }
        uint32_t segment = 0;
        for (uint32_t j = 0; j < newSize; ++j) {
            double x = (static_cast<double>(j) / static_cast<double>(newSize - 1) - mapping.low) *
                       mapping.scale;
            OutputPosition& position = m_positions[j];
            if (x >= oldX[oldSize - 1]) {
                position.atLastPoint = true;
                continue;
            }
            // Below the first point (or NaN) the first value holds, as at position 0.
            x = x > 0.0 ? x : 0.0;
            // A reversed domain gives falling positions.
            segment = x < oldX[segment] ? 0 : segment;
            while (segment + 2 < oldSize && oldX[segment + 1] <= x) {
                ++segment;
            }
            const double dx = oldX[segment + 1] - oldX[segment];
            position.segment = segment;
            position.weights = HermiteBasisAt((x - oldX[segment]) / dx, dx);
            m_tangentUsed[segment] = m_tangentUsed[segment + 1] = 1;
        }
        // A tangent takes the slopes of the segments on either side of its point.
        for (uint32_t k = 0; k < oldSize; ++k) {
            if (!m_tangentUsed[k])
                continue;
            if (k > 0)
                m_slopeUsed[k - 1] = 1;
            if (k + 1 < oldSize)
                m_slopeUsed[k] = 1;
        }
    }

    uint32_t OldSize() const { return m_oldSize; }
    uint32_t NewSize() const { return static_cast<uint32_t>(m_positions.size()); }

    // Fills tangents[0..n) for the values y[0..n) at the old positions.
    void Tangents(const double* y, double* tangents) const {
        const uint32_t last = m_oldSize - 1;
        double leftSlope = 0.0;
        for (uint32_t k = 0; k <= last; ++k) {
            const double rightSlope = k < last ? (y[k + 1] - y[k]) / m_widths[k] : 0.0;
            tangents[k] = AutomaticTangent(k > 0, leftSlope, k < last, rightSlope);
            leftSlope = rightSlope;
        }
    }

    // The same along the old axis of a plane: n lines of `width` values, each
    // column of the plane being one curve, at the points whose tangents some
    // new position reads. Each segment's slopes are computed once, into the
    // tangents of its first line, and then turned into tangents from the last
    // line back, each line's slopes read before they are replaced.
    void PlaneTangents(const double* plane, double* tangents, size_t width) const {
        const uint32_t last = m_oldSize - 1;
        for (uint32_t k = 0; k < last; ++k) {
            if (!m_slopeUsed[k])
                continue;
            const double* here = plane + k * width;
            const double* next = here + width;
            double* slopes = tangents + k * width;
            const double segmentWidth = m_widths[k];
            for (size_t e = 0; e < width; ++e)
                slopes[e] = (next[e] - here[e]) / segmentWidth;
        }
        for (uint32_t k = last + 1; k-- > 0;) {
            if (!m_tangentUsed[k])
                continue;
            const bool hasLeft = k > 0;
            const bool hasRight = k < last;
            double* out = tangents + k * width;
            const double* leftSlopes = hasLeft ? out - width : out;
            for (size_t e = 0; e < width; ++e)
                out[e] =
                    AutomaticTangent(hasLeft, leftSlopes[e], hasRight, hasRight ? out[e] : 0.0);
        }
    }

    // Evaluates every column of a plane of `count` x 3 values at new position
    // j, handing column e * 3 + c's value to store(e, c, value).
    template <typename Store>
    void EvaluatePlaneColumns(uint32_t j, const double* plane, const double* tangents, size_t count,
                              Store store) const {
        const OutputPosition& position = m_positions[j];
        const size_t width = count * 3;
        if (position.atLastPoint) {
            const double* y = plane + size_t(m_oldSize - 1) * width;
            for (size_t e = 0; e < count; ++e)
                for (size_t c = 0; c < 3; ++c)
                    store(e, c, y[e * 3 + c]);
            return;
        }
        const double* y0 = plane + position.segment * width;
        const double* y1 = y0 + width;
        const double* m0 = tangents + position.segment * width;
        const double* m1 = m0 + width;
        const HermiteBasis weights = position.weights;
        for (size_t e = 0; e < count; ++e)
            for (size_t c = 0; c < 3; ++c) {
                const size_t k = e * 3 + c;
                store(e, c, HermiteValue(weights, y0[k], y1[k], m0[k], m1[k]));
            }
    }

    // Column e * 3 + c into line e of `lines` (lines `stride` apart), entry j:
    // a plane along red turned into the lines of a plane along green.
    void EvaluatePlaneInto(uint32_t j, const double* plane, const double* tangents, size_t count,
                           double* lines, size_t stride) const {
        double* target = lines + size_t(j) * 3;
        EvaluatePlaneColumns(j, plane, tangents, count, [&](size_t e, size_t c, double value) {
            target[e * stride + c] = value;
        });
    }

    // A plane of 3 x m values into the R, G, B of m consecutive entries.
    void EvaluatePlaneRow(uint32_t j, const double* plane, const double* tangents, size_t width,
                          float* entries) const {
        EvaluatePlaneColumns(j, plane, tangents, width / 3, [&](size_t e, size_t c, double value) {
            entries[e * 4 + c] = static_cast<float>(value);
        });
    }

    double Evaluate(uint32_t j, const double* y, const double* tangents) const {
        const OutputPosition& position = m_positions[j];
        if (position.atLastPoint) {
            return y[m_oldSize - 1];
        }
        const uint32_t s = position.segment;
        return HermiteValue(position.weights, y[s], y[s + 1], tangents[s], tangents[s + 1]);
    }

private:
    uint32_t m_oldSize;
    std::vector<double> m_widths;
    std::vector<OutputPosition> m_positions;
    // The tangents that some new position reads, and the segment slopes they
    // take: a plane computes no others (a lattice made smaller reads few).
    std::vector<uint8_t> m_tangentUsed;
    std::vector<uint8_t> m_slopeUsed;
};

float* AlignedStart(uint8_t* storage) {
    const uintptr_t misalignment = reinterpret_cast<uintptr_t>(storage) & 15;
    return reinterpret_cast<float*>(storage + (misalignment == 0 ? 0 : 16 - misalignment));
}

// One grid per input axis (red, green, blue); they differ only when the
// channels' domains do.
struct AxisGrids {
    const ResampleGrid& red;
    const ResampleGrid& green;
    const ResampleGrid& blue;
};

// The rows of an old slice that the red pass takes at once: enough for its
// loops to run long, few enough for its plane to stay in the cache.
constexpr uint32_t kRedPassRows = 32;

// What one thread of a resampling works in: a plane of lines and their
// tangents, one line and its tangents, and the plane of the red pass (the
// entries k of up to kRedPassRows old rows, one line per k) and its tangents.
struct Scratch {
    double* plane;
    double* planeTangents;
    double* line;
    double* tangents;
    double* redPlane;
    double* redTangents;
};

// The doubles of one thread's scratch for resampling n points to m.
size_t ScratchValues(uint32_t n, uint32_t m, bool is3D) {
    const size_t lineValues = is3D ? size_t(3) * m * n : 0;
    const size_t redValues = is3D ? size_t(3) * kRedPassRows * n : 0;
    return 2 * lineValues + 2 * size_t(n) + 2 * redValues;
}

Scratch ScratchAt(double* values, uint32_t n, uint32_t m, bool is3D) {
    const size_t lineValues = is3D ? size_t(3) * m * n : 0;
    const size_t redValues = is3D ? size_t(3) * kRedPassRows * n : 0;
    double* line = values + 2 * lineValues;
    double* red = line + 2 * size_t(n);
    return {values, values + lineValues, line, line + n, red, red + redValues};
}

// Lattices of fewer old entries than this are resampled on one thread: a
// second would take longer to start than it saves.
constexpr size_t kSmallestSharedLattice = size_t(1) << 17;

// The threads a resampling of n points to m uses.
uint32_t ResampleThreads(uint32_t n, uint32_t m, bool is3D) {
    const size_t larger = n > m ? n : m;
    return is3D && larger * larger * larger >= kSmallestSharedLattice ? DefaultThreadCount() : 1;
}

// Where the passes over a 3D lattice read and write: the old lattice of n
// points and the work lattice of max(n, m) slices of m x m entries.
struct LatticeLayout {
    uint32_t n, m;
    size_t oldRow, oldSlice, newRow, newSlice, width;

    LatticeLayout(uint32_t oldSize, uint32_t newSize)
        : n(oldSize), m(newSize), oldRow(size_t(n) * 4), oldSlice(oldRow * n),
          newRow(size_t(m) * 4), newSlice(newRow * m), width(size_t(m) * 3) {}
};

// Old slice b resampled along red, then green, into slice b of the work.
void ResampleSliceAlongRedAndGreen(const AxisGrids& grids, const LatticeLayout& at,
                                   const float* old, float* work, const Scratch& scratch,
                                   uint32_t b) {
    // Plane line g: old row g resampled along red to m entries, a block of
    // rows at a time through a plane whose line k holds their entries k.
    const float* oldSlice = old + b * at.oldSlice;
    for (uint32_t firstRow = 0; firstRow < at.n; firstRow += kRedPassRows) {
        const uint32_t rows = std::min(kRedPassRows, at.n - firstRow);
        const size_t redWidth = size_t(rows) * 3;
        for (uint32_t k = 0; k < at.n; ++k) {
            double* line = scratch.redPlane + k * redWidth;
            for (uint32_t g = 0; g < rows; ++g)
                for (uint32_t c = 0; c < 3; ++c)
                    line[g * 3 + c] = oldSlice[(firstRow + g) * at.oldRow + k * 4 + c];
        }
        grids.red.PlaneTangents(scratch.redPlane, scratch.redTangents, redWidth);
        double* lines = scratch.plane + firstRow * at.width;
        for (uint32_t j = 0; j < at.m; ++j)
            grids.red.EvaluatePlaneInto(j, scratch.redPlane, scratch.redTangents, rows, lines,
                                        at.width);
    }
    grids.green.PlaneTangents(scratch.plane, scratch.planeTangents, at.width);
    float* slice = work + b * at.newSlice;
    for (uint32_t i = 0; i < at.m; ++i)
        grids.green.EvaluatePlaneRow(i, scratch.plane, scratch.planeTangents, at.width,
                                     slice + i * at.newRow);
}

// Row i of every slice of the work resampled along blue, in place.
void ResampleRowsAlongBlue(const AxisGrids& grids, const LatticeLayout& at, float* work,
                           const Scratch& scratch, uint32_t i) {
    // Plane line b: new row i of old slice b.
    for (uint32_t b = 0; b < at.n; ++b) {
        const float* row = work + b * at.newSlice + i * at.newRow;
        double* target = scratch.plane + b * at.width;
        for (uint32_t j = 0; j < at.m; ++j)
            for (uint32_t c = 0; c < 3; ++c)
                target[j * 3 + c] = row[j * 4 + c];
    }
    grids.blue.PlaneTangents(scratch.plane, scratch.planeTangents, at.width);
    for (uint32_t q = 0; q < at.m; ++q) {
        float* row = work + q * at.newSlice + i * at.newRow;
        grids.blue.EvaluatePlaneRow(q, scratch.plane, scratch.planeTangents, at.width, row);
        for (uint32_t j = 0; j < at.m; ++j)
            row[j * 4 + 3] = 1.0f;
    }
}

// The three passes over a 3D lattice. `work` has room for max(n, m) slices
// of m x m entries; slice b of the red/green result lands in slice b, and
// the blue pass then rewrites each column in place. The green and blue
// passes work on planes of n lines of 3 x m values (the R, G, B of one new
// row per old index), so that each output row is one vectorisable loop.
// Slices, then rows, are shared between the threads, each with a scratch of
// its own; every value is computed as it would be on one thread.
void Resample3D(const AxisGrids& grids, const float* old, float* work, double* scratchValues,
                uint32_t threads) {
    const LatticeLayout at(grids.red.OldSize(), grids.red.NewSize());
    const size_t scratchValuesEach = ScratchValues(at.n, at.m, true);
    auto scratchOf = [&](uint32_t band) {
        return ScratchAt(scratchValues + band * scratchValuesEach, at.n, at.m, true);
    };
    ParallelBands(at.n, threads, [&](uint32_t band, uint32_t first, uint32_t end) {
        const Scratch scratch = scratchOf(band);
        for (uint32_t b = first; b < end; ++b)
            ResampleSliceAlongRedAndGreen(grids, at, old, work, scratch, b);
    });
    ParallelBands(at.m, threads, [&](uint32_t band, uint32_t first, uint32_t end) {
        const Scratch scratch = scratchOf(band);
        for (uint32_t i = first; i < end; ++i)
            ResampleRowsAlongBlue(grids, at, work, scratch, i);
    });
}

// Each channel of a 1D table is read at its own input.
void Resample1D(const AxisGrids& grids, const float* old, float* entries, double* line,
                double* tangents) {
    const uint32_t n = grids.red.OldSize();
    const uint32_t m = grids.red.NewSize();
    const ResampleGrid* const channels[3] = {&grids.red, &grids.green, &grids.blue};
    for (uint32_t c = 0; c < 3; ++c) {
        const ResampleGrid& grid = *channels[c];
        for (uint32_t k = 0; k < n; ++k) {
            line[k] = old[k * 4 + c];
        }
        grid.Tangents(line, tangents);
        for (uint32_t j = 0; j < m; ++j) {
            entries[j * 4 + c] = static_cast<float>(grid.Evaluate(j, line, tangents));
        }
    }
    for (uint32_t j = 0; j < m; ++j) {
        entries[j * 4 + 3] = 1.0f;
    }
}

// How channel c of the unit domain maps onto the table's own domain; a range
// too narrow to divide by takes the factor that Apply gives it.
AxisMapping UnitDomainMapping(const CVxLUT& lut, int c) {
    const float range = lut.m_domainMax[c] - lut.m_domainMin[c];
    const double scale =
        std::fabs(range) > 0.0001 ? 1.0 / (double(lut.m_domainMax[c]) - lut.m_domainMin[c]) : 1e4;
    return AxisMapping{lut.m_domainMin[c], scale};
}

struct StorageRelease {
    size_t bytes;
    void operator()(uint8_t* storage) const { platform::DeleteLargeBlock(storage, bytes); }
};

// Rebuilds the table at newSize, over its own domain or over the unit domain.
bool RebuildTable(CVxLUT& lut, uint32_t newSize, bool ontoUnitDomain) {
    // Positions k/(n - 1) need two entries on both sides of the resampling.
    if (newSize < 2 || lut.m_size < 2 || lut.m_data == nullptr) {
        return false;
    }
    if (newSize > kLargestSize || (lut.m_is3D && newSize > kLargest3DSize)) {
        return false;
    }
    const bool is3D = lut.m_is3D;
    const uint32_t n = lut.m_size;
    const uint32_t m = newSize;
    const size_t slices = is3D ? (n > m ? n : m) : 1;
    const size_t entries = is3D ? slices * m * m : size_t(m);
    const size_t storageBytes = entries * 16 + 16;
    std::unique_ptr<uint8_t, StorageRelease> storage(
        static_cast<uint8_t*>(platform::NewLargeBlock(storageBytes)), StorageRelease{storageBytes});
    const uint32_t threads = ResampleThreads(n, m, is3D);
    // A large block, like the lattices: a scratch of hundreds of kilobytes
    // would otherwise take one page fault every 4 KB, which costs more than
    // the resampling of a small lattice.
    const size_t scratchBytes = threads * ScratchValues(n, m, is3D) * sizeof(double);
    std::unique_ptr<uint8_t, StorageRelease> scratch(
        static_cast<uint8_t*>(platform::NewLargeBlock(scratchBytes)), StorageRelease{scratchBytes});
    if (!storage || !scratch) {
        return false;
    }
    float* data = AlignedStart(storage.get());

    const auto mapping = [&](int c) {
        return ontoUnitDomain ? UnitDomainMapping(lut, c) : AxisMapping{};
    };
    const ResampleGrid red(n, m, mapping(0));
    const ResampleGrid green(n, m, mapping(1));
    const ResampleGrid blue(n, m, mapping(2));
    const AxisGrids grids{red, green, blue};
    if (is3D) {
        Resample3D(grids, lut.m_data, data, reinterpret_cast<double*>(scratch.get()), threads);
    } else {
        const Scratch one = ScratchAt(reinterpret_cast<double*>(scratch.get()), n, m, false);
        Resample1D(grids, lut.m_data, data, one.line, one.tangents);
    }

    platform::DeleteLargeBlock(lut.m_storage, lut.m_storageBytes);
    lut.m_storage = storage.release();
    lut.m_storageBytes = storageBytes;
    lut.m_data = data;
    lut.m_size = m;
    lut.m_greenStride = is3D ? m * 4 : 0;
    lut.m_blueStride = is3D ? m * m * 4 : 0;
    float domainMin[4];
    float domainMax[4];
    std::memcpy(domainMin, lut.m_domainMin, sizeof(domainMin));
    std::memcpy(domainMax, lut.m_domainMax, sizeof(domainMax));
    if (ontoUnitDomain) {
        for (int c = 0; c < 3; ++c) {
            domainMin[c] = 0.0f;
            domainMax[c] = 1.0f;
        }
    }
    lut.SetDomain(domainMin, domainMax);
    return true;
}

} // namespace

bool CVxLUT::Resample(uint32_t newSize) {
    if (newSize == m_size) {
        return true;
    }
    return RebuildTable(*this, newSize, false);
}

bool CVxLUT::ResampleOverUnitDomain(uint32_t newSize) {
    if (HasUnitDomain()) {
        return Resample(newSize);
    }
    return RebuildTable(*this, newSize, true);
}
