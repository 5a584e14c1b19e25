#include "lut/curve.h"
#include "lut/lut.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

float* Entry(CVxLUT& lut, uint32_t r, uint32_t g, uint32_t b) {
    return lut.m_data + ((size_t(b) * lut.m_size + g) * lut.m_size + r) * 4;
}

std::mt19937 g_random(12345);

float RandomValue() {
    return std::uniform_real_distribution<float>(-0.25f, 1.25f)(g_random);
}

void FillRandomLattice(CVxLUT& lut, uint32_t n) {
    ASSERT_TRUE(lut.Create(n, true));
    for (size_t i = 0; i < lut.FloatCount(); ++i)
        lut.m_data[i] = i % 4 == 3 ? 1.0f : RandomValue();
}

double Position(uint32_t k, uint32_t n) {
    return double(k) / double(n - 1);
}

// The three passes written out with curves, one point at a time.
std::vector<float> DirectResample3D(CVxLUT& lut, uint32_t m) {
    const uint32_t n = lut.m_size;
    const uint32_t slices = n > m ? n : m;
    std::vector<float> work(size_t(slices) * m * m * 4, 0.0f);
    auto at = [&](uint32_t j, uint32_t i, uint32_t b) {
        return &work[((size_t(b) * m + i) * m + j) * 4];
    };
    std::vector<std::unique_ptr<CVxCurve>> columns;
    for (uint32_t k = 0; k < 3 * m; ++k)
        columns.push_back(std::make_unique<CVxCurve>(CVxCurve::EInterpolation::eHermiteAuto,
                                                     CVxCurve::EExtrapolation::eHoldEnds));
    for (uint32_t b = 0; b < n; ++b) {
        for (auto& column : columns)
            column->Empty();
        for (uint32_t g = 0; g < n; ++g) {
            for (uint32_t c = 0; c < 3; ++c) {
                CVxCurve row(CVxCurve::EInterpolation::eHermiteAuto,
                             CVxCurve::EExtrapolation::eHoldEnds);
                for (uint32_t k = 0; k < n; ++k)
                    row.AddPoint(Position(k, n), Entry(lut, k, g, b)[c]);
                for (uint32_t j = 0; j < m; ++j)
                    columns[j * 3 + c]->AddPoint(Position(g, n), row.Evaluate(Position(j, m)));
            }
        }
        for (uint32_t i = 0; i < m; ++i)
            for (uint32_t j = 0; j < m; ++j)
                for (uint32_t c = 0; c < 3; ++c)
                    at(j, i, b)[c] =
                        static_cast<float>(columns[j * 3 + c]->Evaluate(Position(i, m)));
    }
    for (uint32_t i = 0; i < m; ++i)
        for (uint32_t j = 0; j < m; ++j)
            for (uint32_t c = 0; c < 3; ++c) {
                CVxCurve curve(CVxCurve::EInterpolation::eHermiteAuto,
                               CVxCurve::EExtrapolation::eHoldEnds);
                for (uint32_t b = 0; b < n; ++b)
                    curve.AddPoint(Position(b, n), at(j, i, b)[c]);
                for (uint32_t q = 0; q < m; ++q)
                    at(j, i, q)[c] = static_cast<float>(curve.Evaluate(Position(q, m)));
            }
    work.resize(size_t(m) * m * m * 4);
    for (size_t k = 3; k < work.size(); k += 4)
        work[k] = 1.0f;
    return work;
}

TEST(Resample, MatchesDirectCurveEvaluationBitForBit) {
    const uint32_t cases[][2] = {{2, 5}, {5, 3}, {4, 7}, {7, 4}, {9, 16}, {17, 32}, {6, 2}};
    for (const auto& sizes : cases) {
        const uint32_t m = sizes[1];
        CVxLUT lut;
        FillRandomLattice(lut, sizes[0]);
        lut.SetDomainUniform(-1.0f, 3.0f);
        const std::vector<float> expected = DirectResample3D(lut, m);
        ASSERT_TRUE(lut.Resample(m));
        ASSERT_EQ(lut.m_size, m);
        ASSERT_EQ(0, std::memcmp(expected.data(), lut.m_data, expected.size() * sizeof(float)))
            << sizes[0] << " -> " << m;
        // The domain stays; the strides and factors follow the new size.
        EXPECT_EQ(lut.m_greenStride, m * 4);
        EXPECT_EQ(lut.m_blueStride, m * m * 4);
        EXPECT_EQ(lut.m_domainMin[1], -1.0f);
        EXPECT_EQ(lut.m_domainMax[2], 3.0f);
        EXPECT_FLOAT_EQ(lut.m_lookupScale[0], (m - 1) / 4.0f);
    }
    for (const auto& sizes : cases) {
        CVxLUT lut;
        ASSERT_TRUE(lut.Create(sizes[0] * 3 + 1, false)); // never the new size
        std::vector<CVxCurve> curves(3);
        for (uint32_t k = 0; k < lut.m_size; ++k)
            for (uint32_t c = 0; c < 3; ++c) {
                lut.m_data[k * 4 + c] = RandomValue();
                curves[c].AddPoint(Position(k, lut.m_size), lut.m_data[k * 4 + c]);
            }
        const uint32_t m = sizes[1] * 5;
        ASSERT_TRUE(lut.Resample(m));
        for (uint32_t j = 0; j < m; ++j)
            for (uint32_t c = 0; c < 4; ++c)
                ASSERT_EQ(c == 3 ? 1.0f : static_cast<float>(curves[c].Evaluate(Position(j, m))),
                          lut.m_data[j * 4 + c]);
    }
}

TEST(Resample, RefusesBadSizes) {
    CVxLUT lattice;
    FillRandomLattice(lattice, 4);
    const std::vector<float> before(lattice.m_data, lattice.m_data + lattice.FloatCount());
    EXPECT_TRUE(lattice.Resample(4));
    EXPECT_FALSE(lattice.Resample(0));
    EXPECT_FALSE(lattice.Resample(1));
    EXPECT_FALSE(lattice.Resample(257));
    ASSERT_EQ(lattice.m_size, 4u);
    EXPECT_EQ(0, std::memcmp(before.data(), lattice.m_data, before.size() * sizeof(float)));
}

} // namespace
