#include "lut/curve.h"
#include "lut/lut.h"

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
// for bit.

namespace {

constexpr uint32_t kLargest3DSize = 256;
constexpr uint32_t kLargestSize = 65536;

struct OutputPosition {
    uint32_t segment = 0;
    bool atLastPoint = false;
    SVxHermiteWeights weights;
};

// Old positions k/(n - 1) against new positions j/(m - 1).
class ResampleGrid {
public:
    ResampleGrid(uint32_t oldSize, uint32_t newSize)
        : m_oldSize(oldSize), m_widths(oldSize - 1), m_positions(newSize) {
        std::vector<double> oldX(oldSize);
        for (uint32_t k = 0; k < oldSize; ++k) {
            oldX[k] = static_cast<double>(k) / static_cast<double>(oldSize - 1);
        }
        for (uint32_t k = 0; k + 1 < oldSize; ++k) {
            m_widths[k] = oldX[k + 1] - oldX[k];
        }
        uint32_t segment = 0;
        for (uint32_t j = 0; j < newSize; ++j) {
            const double x = static_cast<double>(j) / static_cast<double>(newSize - 1);
            OutputPosition& position = m_positions[j];
            if (x >= oldX[oldSize - 1]) {
                position.atLastPoint = true;
                continue;
            }
            while (segment + 2 < oldSize && oldX[segment + 1] <= x) {
                ++segment;
            }
            const double dx = oldX[segment + 1] - oldX[segment];
            position.segment = segment;
            position.weights = HermiteWeights((x - oldX[segment]) / dx, dx);
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
};

float* AlignedStart(uint8_t* storage) {
    const uintptr_t misalignment = reinterpret_cast<uintptr_t>(storage) & 15;
    return reinterpret_cast<float*>(storage + (misalignment == 0 ? 0 : 16 - misalignment));
}

// The three passes over a 3D lattice. `work` has room for max(n, m) slices
// of m x m entries; slice b of the red/green result lands in slice b, and
// the blue pass then rewrites each column in place.
void Resample3D(const ResampleGrid& grid, const float* old, float* work, double* rows, double* line,
                double* tangents) {
    const uint32_t n = grid.OldSize();
    const uint32_t m = grid.NewSize();
    const size_t oldRow = size_t(n) * 4;
    const size_t oldSlice = oldRow * n;
    const size_t newRow = size_t(m) * 4;
    const size_t newSlice = newRow * m;

    for (uint32_t b = 0; b < n; ++b) {
        // rows[(c * m + j) * n + g]: row g of channel c evaluated at new red j.
        for (uint32_t g = 0; g < n; ++g) {
            const float* source = old + b * oldSlice + g * oldRow;
            for (uint32_t c = 0; c < 3; ++c) {
                for (uint32_t k = 0; k < n; ++k) {
                    line[k] = source[k * 4 + c];
                }
                grid.Tangents(line, tangents);
                double* column = rows + size_t(c) * m * n + g;
                for (uint32_t j = 0; j < m; ++j) {
                    column[size_t(j) * n] = grid.Evaluate(j, line, tangents);
                }
            }
        }
        float* slice = work + b * newSlice;
        for (uint32_t c = 0; c < 3; ++c) {
            for (uint32_t j = 0; j < m; ++j) {
                const double* column = rows + (size_t(c) * m + j) * n;
                grid.Tangents(column, tangents);
                for (uint32_t i = 0; i < m; ++i) {
                    slice[i * newRow + j * 4 + c] =
                        static_cast<float>(grid.Evaluate(i, column, tangents));
                }
            }
        }
    }

    for (uint32_t i = 0; i < m; ++i) {
        for (uint32_t j = 0; j < m; ++j) {
            float* column = work + i * newRow + j * 4;
            for (uint32_t c = 0; c < 3; ++c) {
                for (uint32_t b = 0; b < n; ++b) {
                    line[b] = column[b * newSlice + c];
                }
                grid.Tangents(line, tangents);
                for (uint32_t q = 0; q < m; ++q) {
                    column[q * newSlice + c] = static_cast<float>(grid.Evaluate(q, line, tangents));
                }
            }
            for (uint32_t q = 0; q < m; ++q) {
                column[q * newSlice + 3] = 1.0f;
            }
        }
    }
}

void Resample1D(const ResampleGrid& grid, const float* old, float* entries, double* line,
                double* tangents) {
    const uint32_t n = grid.OldSize();
    const uint32_t m = grid.NewSize();
    for (uint32_t c = 0; c < 3; ++c) {
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

} // namespace

bool CVxLUT::Resample(uint32_t newSize) {
    if (newSize == m_size) {
        return true;
    }
    // Positions k/(n - 1) need two entries on both sides of the resampling.
    if (newSize < 2 || m_size < 2 || m_data == nullptr) {
        return false;
    }
    if (newSize > kLargestSize || (m_is3D && newSize > kLargest3DSize)) {
        return false;
    }
    const uint32_t n = m_size;
    const uint32_t m = newSize;
    const size_t slices = m_is3D ? (n > m ? n : m) : 1;
    const size_t entries = m_is3D ? slices * m * m : size_t(m);
    std::unique_ptr<uint8_t[]> storage(new (std::nothrow) uint8_t[entries * 16 + 16]);
    const size_t rowValues = m_is3D ? size_t(3) * m * n : 0;
    std::unique_ptr<double[]> scratch(new (std::nothrow) double[rowValues + 2 * size_t(n)]);
    if (!storage || !scratch) {
        return false;
    }
    float* data = AlignedStart(storage.get());
    double* line = scratch.get() + rowValues;
    double* tangents = line + n;

    const ResampleGrid grid(n, m);
    if (m_is3D) {
        Resample3D(grid, m_data, data, scratch.get(), line, tangents);
    } else {
        Resample1D(grid, m_data, data, line, tangents);
    }

    delete[] m_storage;
    m_storage = storage.release();
    m_data = data;
    m_size = m;
    m_greenStride = m_is3D ? m * 4 : 0;
    m_blueStride = m_is3D ? m * m * 4 : 0;
    float domainMin[4];
    float domainMax[4];
    std::memcpy(domainMin, m_domainMin, sizeof(domainMin));
    std::memcpy(domainMax, m_domainMax, sizeof(domainMax));
    SetDomain(domainMin, domainMax);
    return true;
}
