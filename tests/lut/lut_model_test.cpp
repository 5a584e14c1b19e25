#include "lut/curve.h"
#include "lut/lattice_evaluation.h"
#include "lut/lut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

TEST(LutModel, CreateLimitsAndLayout) {
    const struct {
        uint32_t size;
        bool is3D, created;
    } cases[] = {{256, true, true},    {257, true, false},    {257, false, true},
                 {65536, false, true}, {65537, false, false}, {2, true, true}};
    for (const auto& c : cases) {
        CVxLUT lut;
        ASSERT_TRUE(lut.Create(5, false));
        EXPECT_EQ(lut.Create(c.size, c.is3D), c.created) << c.size;
        EXPECT_EQ(lut.m_size, c.created ? c.size : 5u) << "refused sizes change nothing";
        EXPECT_EQ(reinterpret_cast<uintptr_t>(lut.m_data) % 16, 0u);
        EXPECT_EQ(lut.m_greenStride, c.created && c.is3D ? c.size * 4 : 0u) << c.size;
        EXPECT_EQ(lut.m_blueStride, c.created && c.is3D ? c.size * c.size * 4 : 0u) << c.size;
    }
}

TEST(LutModel, DerivedFactors) {
    CVxLUT lut;
    ASSERT_TRUE(lut.Create(3, true));
    const float min[4] = {-1.0f, 0.5f, 0.0f, 0.0f};
    const float max[4] = {3.0f, 0.50009f, 0.0001f, 1.0f};
    lut.SetDomain(min, max);
    EXPECT_EQ(lut.m_lookupScale[0], 0.5f);
    EXPECT_EQ(lut.m_lookupScale[1], 20000.0f) << "narrow range";
    EXPECT_EQ(lut.m_lookupScale[2], 20000.0f) << "a range of 0.0001 counts as narrow";
    // Rounded once: float steps would give 2/3 one unit too low.
    EXPECT_EQ(lut.m_texScale[3], 2.0f / 3);
    EXPECT_EQ(lut.m_texScale[0], 2.0f / 3 / 4);
    EXPECT_EQ(lut.m_texOffset[0], 1.0f / 3);
    EXPECT_EQ(lut.m_texOffset[3], 1.0f / 6);
}

// One-dimensional tables and pre-LUTs are checked against their LUT stages.
TEST(LutModel, ApplyTrilinearAndClamping) {
    // A 2-point lattice whose corner i = r + 2g + 4b holds (i, 10r, 100b).
    CVxLUT lut;
    ASSERT_TRUE(lut.Create(2, true));
    for (uint32_t i = 0; i < 8; ++i) {
        const float corner[4] = {float(i), 10.0f * (i & 1), 100.0f * (i >> 2), 1.0f};
        std::memcpy(lut.m_data + i * 4, corner, sizeof corner);
    }
    const struct {
        float in[3], out[3];
    } cases[] = {
        {{0.5f, 0.5f, 0.5f}, {3.5f, 5.0f, 50.0f}},   {{0.25f, 0.0f, 1.0f}, {4.25f, 2.5f, 100.0f}},
        {{-3.0f, -3.0f, -3.0f}, {0.0f, 0.0f, 0.0f}}, // below: the first entry
        {{1.0f, 1.0f, 1.0f}, {7.0f, 10.0f, 100.0f}}, // at the maximum: the last entry
        {{9.0f, 9.0f, 9.0f}, {7.0f, 10.0f, 100.0f}}, // above
        {{-0.5f, 0.5f, 1.0f}, {5.0f, 0.0f, 100.0f}}, // less than a cell below: clamped too
        {{NAN, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
    };
    for (const auto& c : cases) {
        float rgb[3] = {c.in[0], c.in[1], c.in[2]};
        lut.Apply(rgb);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(rgb[k], c.out[k]) << c.in[0] << " " << c.in[1] << " " << c.in[2];
    }
}

TEST(LutModel, ApplyRoundsOnceForTheIndexAndEachStep) {
    // Float arithmetic inside a step would give the neighbouring float each time.
    CVxLUT ramp; // entries 0, 1, 2, 3 over [0.285, 1.285]: the output is t itself
    ASSERT_TRUE(ramp.Create(4, false));
    for (uint32_t i = 0; i < 16; ++i)
        ramp.m_data[i] = float(i / 4);
    ramp.SetDomainUniform(0.285f, 1.285f);
    float rgb[3] = {0.916f, 0.916f, 0.916f};
    ramp.Apply(rgb);
    EXPECT_EQ(rgb[0], 0x1.e49ba6p+0f);
    for (bool is3D : {false, true}) { // from 4.33 to 7.97, along blue in 3D
        CVxLUT lut;
        ASSERT_TRUE(lut.Create(2, is3D));
        const uint32_t half = is3D ? 16 : 4;
        for (uint32_t i = 0; i < 2 * half; ++i)
            lut.m_data[i] = i < half ? 4.33f : 7.97f;
        float in[3] = {0.827f, 0.827f, 0.827f};
        lut.Apply(in);
        EXPECT_EQ(in[1], 0x1.d5c726p+2f) << is3D;
    }
}

// A lattice of n nodes whose entries are a fixed pseudo-random colour each.
void FillRandom(CVxLUT& lut, uint32_t n, bool is3D, uint32_t seed) {
    ASSERT_TRUE(lut.Create(n, is3D));
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-0.2f, 1.3f);
    for (size_t i = 0; i < lut.FloatCount(); ++i)
        lut.m_data[i] = i % 4 == 3 ? 1.0f : value(random);
}

double Position(uint32_t k, uint32_t n) {
    return double(k) / double(n - 1);
}

// The three passes written out with curves of the default kind, one point at a time.
std::vector<float> DirectResample3D(const CVxLUT& lut, uint32_t m) {
    const uint32_t n = lut.m_size;
    std::vector<float> work(size_t(std::max(n, m)) * m * m * 4, 0.0f);
    auto at = [&](uint32_t j, uint32_t i, uint32_t b) {
        return &work[((size_t(b) * m + i) * m + j) * 4];
    };
    for (uint32_t b = 0; b < n; ++b) {
        std::vector<CVxCurve> columns(3 * m);
        for (uint32_t g = 0; g < n; ++g) {
            for (uint32_t c = 0; c < 3; ++c) {
                CVxCurve row;
                for (uint32_t k = 0; k < n; ++k)
                    row.AddPoint(Position(k, n), lut.m_data[((size_t(b) * n + g) * n + k) * 4 + c]);
                for (uint32_t j = 0; j < m; ++j)
                    columns[j * 3 + c].AddPoint(Position(g, n), row.Evaluate(Position(j, m)));
            }
        }
        for (uint32_t i = 0; i < m; ++i)
            for (uint32_t j = 0; j < m; ++j)
                for (uint32_t c = 0; c < 3; ++c)
                    at(j, i, b)[c] =
                        static_cast<float>(columns[j * 3 + c].Evaluate(Position(i, m)));
    }
    for (uint32_t i = 0; i < m; ++i)
        for (uint32_t j = 0; j < m; ++j)
            for (uint32_t c = 0; c < 3; ++c) {
                CVxCurve curve;
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
    // The last two are shared between threads.
    const uint32_t cases[][2] = {{2, 5},   {5, 3}, {4, 7},  {7, 4}, {9, 16},
                                 {17, 32}, {6, 2}, {52, 9}, {9, 53}};
    for (const auto& sizes : cases) {
        const uint32_t m = sizes[1];
        CVxLUT lut;
        FillRandom(lut, sizes[0], true, sizes[1]);
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
        FillRandom(lut, sizes[0] * 3 + 1, false, sizes[0]); // never the new size
        std::vector<CVxCurve> curves(3);
        for (uint32_t k = 0; k < lut.m_size; ++k)
            for (uint32_t c = 0; c < 3; ++c)
                curves[c].AddPoint(Position(k, lut.m_size), lut.m_data[k * 4 + c]);
        const uint32_t m = sizes[1] * 5;
        ASSERT_TRUE(lut.Resample(m));
        for (uint32_t j = 0; j < m; ++j)
            for (uint32_t c = 0; c < 4; ++c)
                ASSERT_EQ(c == 3 ? 1.0f : static_cast<float>(curves[c].Evaluate(Position(j, m))),
                          lut.m_data[j * 4 + c]);
    }
}

// Entries linear in their inputs, which the resampling curves reproduce: the
// new entries hold the same functions of the unit inputs, held at the ends of
// the old domain. A reversed domain runs the other way.
TEST(Resample, OntoTheUnitDomain) {
    const float low[4] = {-1.0f, 0.25f, 1.0f, 0.0f}, high[4] = {3.0f, 0.75f, 0.0f, 1.0f};
    const auto linear = [&](int c, double x) {
        const double inside =
            std::clamp(x, double(std::min(low[c], high[c])), double(std::max(low[c], high[c])));
        return 0.5 * inside + 0.1 * c;
    };
    for (const bool is3D : {true, false}) {
        const uint32_t n = 9, m = is3D ? 9 : 33;
        CVxLUT lut;
        ASSERT_TRUE(lut.Create(n, is3D));
        for (uint32_t i = 0; i < lut.FloatCount() / 4; ++i) {
            const uint32_t index[3] = {i % n, is3D ? i / n % n : i, is3D ? i / (n * n) : i};
            for (int c = 0; c < 3; ++c)
                lut.m_data[i * 4 + c] = static_cast<float>(
                    linear(c, low[c] + (high[c] - low[c]) * double(index[c]) / (n - 1)));
        }
        lut.SetDomain(low, high);
        ASSERT_TRUE(lut.ResampleOverUnitDomain(m));
        ASSERT_EQ(lut.m_size, m);
        EXPECT_TRUE(lut.HasUnitDomain());
        EXPECT_EQ(lut.m_domainMax[3], 1.0f);
        for (uint32_t i = 0; i < lut.FloatCount() / 4; ++i) {
            const uint32_t index[3] = {i % m, is3D ? i / m % m : i, is3D ? i / (m * m) : i};
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(lut.m_data[i * 4 + c], linear(c, double(index[c]) / (m - 1)), 1e-6)
                    << is3D << " entry " << i << " channel " << c;
        }
    }
    // On the unit domain it is the plain resampling, bit for bit.
    CVxLUT plain, unit;
    FillRandom(plain, 5, true, 6);
    ASSERT_TRUE(unit.Create(5, true));
    std::memcpy(unit.m_data, plain.m_data, plain.FloatCount() * sizeof(float));
    ASSERT_TRUE(plain.Resample(7));
    ASSERT_TRUE(unit.ResampleOverUnitDomain(7));
    EXPECT_EQ(0, std::memcmp(plain.m_data, unit.m_data, plain.FloatCount() * sizeof(float)));
}

TEST(Resample, RefusesBadSizes) {
    CVxLUT lattice;
    FillRandom(lattice, 4, true, 7);
    const std::vector<float> before(lattice.m_data, lattice.m_data + lattice.FloatCount());
    EXPECT_TRUE(lattice.Resample(4));
    for (uint32_t size : {0u, 1u, 257u})
        EXPECT_FALSE(lattice.Resample(size)) << size;
    ASSERT_EQ(lattice.m_size, 4u);
    EXPECT_EQ(0, std::memcmp(before.data(), lattice.m_data, before.size() * sizeof(float)));
}

// A LUT evaluated at the nodes of another lattice gives what Apply gives there,
// bit for bit, pre-LUT and domain included; over its own domain, where nodes
// meet, its own entries exactly.
TEST(LatticeEvaluation, GivesApplyAtEveryNodeAndTheEntriesWhereNodesMeet) {
    CVxLUT plain, ranged, shaped, curve;
    FillRandom(plain, 5, true, 1);
    FillRandom(ranged, 6, true, 2);
    ranged.SetDomainUniform(-0.25f, 1.5f);
    FillRandom(shaped, 4, true, 3);
    shaped.m_preLUT = new CVxLUT();
    FillRandom(*shaped.m_preLUT, 7, false, 4);
    FillRandom(curve, 9, false, 5);
    const struct {
        const CVxLUT* lut;
        uint32_t n;
        float low, high;
    } cases[] = {{&plain, 9, 0.0f, 1.0f},   {&plain, 7, 0.1f, 0.8f},  {&ranged, 11, -0.5f, 2.0f},
                 {&shaped, 6, -0.1f, 1.1f}, {&curve, 5, -0.2f, 1.2f}, {&plain, 1, 0.5f, 0.5f}};
    for (const auto& c : cases) {
        std::vector<float> nodes(size_t(c.n) * c.n * c.n * 3);
        ASSERT_TRUE(EvaluateAtLattice(*c.lut, c.n, c.low, c.high, nodes.data()));
        for (size_t i = 0; i < nodes.size() / 3; ++i) {
            const uint32_t index[3] = {uint32_t(i % c.n), uint32_t(i / c.n % c.n),
                                       uint32_t(i / c.n / c.n)};
            float rgb[3];
            for (int ch = 0; ch < 3; ++ch)
                rgb[ch] = c.n == 1 ? c.low
                                   : static_cast<float>(c.low + double(index[ch]) / (c.n - 1) *
                                                                    (double(c.high) - c.low));
            c.lut->Apply(rgb);
            ASSERT_EQ(std::memcmp(rgb, &nodes[i * 3], sizeof rgb), 0) << c.n << " node " << i;
        }
    }
    // Nodes 0, 2, 4, 6 and 8 of 9 are the entries of the 5-point lattice, exactly.
    std::vector<float> nodes(9 * 9 * 9 * 3);
    ASSERT_TRUE(EvaluateAtLattice(plain, 9, 0.0f, 1.0f, nodes.data()));
    for (uint32_t i = 0; i < 125; ++i) {
        const size_t node = ((i / 25) * 2 * 81) + ((i / 5 % 5) * 2 * 9) + (i % 5) * 2;
        ASSERT_EQ(std::memcmp(&plain.m_data[i * 4], &nodes[node * 3], 12), 0) << i;
    }
}

} // namespace
