#include "inspect/colour_difference.h"
#include "inspect/comparison.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <vector>

namespace {

// The 34 pairs of CIELAB values published with their CIEDE2000 differences by
// Sharma, Wu and Dalal (2005), which cover the hue-angle edge cases.
struct SharmaPair {
    Lab first, second;
    double deltaE;
};
const SharmaPair kSharmaPairs[] = {
    {{50.0000, 2.6772, -79.7751}, {50.0000, 0.0000, -82.7485}, 2.0425},
    {{50.0000, 3.1571, -77.2803}, {50.0000, 0.0000, -82.7485}, 2.8615},
    {{50.0000, 2.8361, -74.0200}, {50.0000, 0.0000, -82.7485}, 3.4412},
    {{50.0000, -1.3802, -84.2814}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, -1.1848, -84.8006}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, -0.9009, -85.5211}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, 0.0000, 0.0000}, {50.0000, -1.0000, 2.0000}, 2.3669},
    {{50.0000, -1.0000, 2.0000}, {50.0000, 0.0000, 0.0000}, 2.3669},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0009}, 7.1792},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0010}, 7.1792},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0011}, 7.2195},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0012}, 7.2195},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0009, -2.4900}, 4.8045},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0010, -2.4900}, 4.8045},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0011, -2.4900}, 4.7461},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 0.0000, -2.5000}, 4.3065},
    {{50.0000, 2.5000, 0.0000}, {73.0000, 25.0000, -18.0000}, 27.1492},
    {{50.0000, 2.5000, 0.0000}, {61.0000, -5.0000, 29.0000}, 22.8977},
    {{50.0000, 2.5000, 0.0000}, {56.0000, -27.0000, -3.0000}, 31.9030},
    {{50.0000, 2.5000, 0.0000}, {58.0000, 24.0000, 15.0000}, 19.4535},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.1736, 0.5854}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2972, 0.0000}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 1.8634, 0.5757}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2592, 0.3350}, 1.0000},
    {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
    {{63.0109, -31.0961, -5.8663}, {62.8187, -29.7946, -4.0864}, 1.2630},
    {{61.2901, 3.7196, -5.3901}, {61.4292, 2.2480, -4.9620}, 1.8731},
    {{35.0831, -44.1164, 3.7933}, {35.0232, -40.0716, 1.5901}, 1.8645},
    {{22.7233, 20.0904, -46.6940}, {23.0331, 14.9730, -42.5619}, 2.0373},
    {{36.4612, 47.8580, 18.3852}, {36.2715, 50.5065, 21.2231}, 1.4146},
    {{90.8027, -2.0831, 1.4410}, {91.1528, -1.6435, 0.0447}, 1.4441},
    {{90.9257, -0.5406, -0.9208}, {88.6381, -0.8985, -0.7239}, 1.5381},
    {{6.7747, -0.2908, -2.4247}, {5.8714, -0.0985, -2.2286}, 0.6377},
    {{2.0776, 0.0795, -1.1350}, {0.9033, -0.0636, -0.5514}, 0.9082},
};

TEST(ColourDifference, AgreesWithTheSharmaTestData) {
    for (size_t i = 0; i < std::size(kSharmaPairs); ++i) {
        const SharmaPair& pair = kSharmaPairs[i];
        EXPECT_NEAR(DeltaE2000(pair.first, pair.second), pair.deltaE, 0.5e-4) << "pair " << i + 1;
        EXPECT_NEAR(DeltaE2000(pair.second, pair.first), pair.deltaE, 0.5e-4) << "pair " << i + 1;
    }
}

TEST(ColourDifference, ReadsSrgbAsDisplayValues) {
    // Worked out by hand from the standard's curve and matrix and the white
    // (0.9505, 1, 1.0890); the primaries lie within 0.01 of the values usually
    // quoted for the white (0.95047, 1, 1.08883), whose greys are not neutral.
    struct Case {
        double rgb[3];
        Lab lab;
    };
    const Case cases[] = {
        {{1.0, 1.0, 1.0}, {100.0, 0.0, 0.0}},
        {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}},
        {{0.5, 0.5, 0.5}, {53.3890, 0.0, 0.0}},
        {{1.0, 0.0, 0.0}, {53.2329, 80.1053, 67.2228}},
        {{0.0, 1.0, 0.0}, {87.7370, -86.1884, 83.1861}},
        {{0.0, 0.0, 1.0}, {32.3026, 79.1936, -107.8537}},
        {{115 / 255.0, 82 / 255.0, 68 / 255.0}, {38.0156, 11.7967, 13.6639}},
    };
    for (const Case& c : cases) {
        const Lab lab = SrgbToLab(c.rgb[0], c.rgb[1], c.rgb[2]);
        EXPECT_NEAR(lab.L, c.lab.L, 0.5e-4) << c.rgb[0] << ' ' << c.rgb[1] << ' ' << c.rgb[2];
        EXPECT_NEAR(lab.a, c.lab.a, 0.5e-4) << c.rgb[0] << ' ' << c.rgb[1] << ' ' << c.rgb[2];
        EXPECT_NEAR(lab.b, c.lab.b, 0.5e-4) << c.rgb[0] << ' ' << c.rgb[1] << ' ' << c.rgb[2];
    }
}

TEST(Comparison, PercentileIsTheNearestRank) {
    struct Case {
        size_t count;
        double expected; // of the values 1 to count
    };
    // Falling values keep the first few, rising ones renew the largest all the
    // way, and strided ones (7919 is prime) come in no order.
    for (const Case& c : {Case{1, 1}, Case{10, 10}, Case{1000, 999}, Case{1001, 1000},
                          Case{2000, 1998}, Case{100000, 99900}})
        for (const size_t stride : {c.count - 1, size_t(1), size_t(7919)}) {
            std::vector<double> values;
            for (size_t i = 0; i < c.count; ++i)
                values.push_back(double((i * stride) % c.count + 1));
            EXPECT_EQ(Percentile999(values.data(), values.size()), c.expected)
                << c.count << " by " << stride;
        }
}

Comparison Compare(const LargeFloats& inputs, const LargeFloats& b, size_t nodes, double tolerance,
                   uint32_t threads = 2) {
    return CompareOutputs({inputs.data(), inputs.data(), b.data(), inputs.size() / 3, nodes},
                          {tolerance, {}}, threads);
}

TEST(Comparison, CountsAKnownOffsetInCodes) {
    // Size 2: the 8 corners, then the centre of the one cell.
    const LargeFloats inputs = MakeComparisonInputs(2);
    ASSERT_EQ(inputs.size(), 27u);
    EXPECT_EQ(inputs[3], 1.0f); // the second node is red
    EXPECT_EQ(inputs[24], 0.5f);
    // Green moves by 3 codes at every node, past 1 at the top ones.
    LargeFloats b = inputs;
    for (size_t node = 0; node < 8; ++node)
        b[3 * node + 1] += 3.0f / 1023.0f;
    const Comparison result = Compare(inputs, b, 8, 1.0);
    constexpr double kNear = 1e-5;
    EXPECT_NEAR(result.nodes.codes[kChannelG].max, 3.0, kNear);
    EXPECT_NEAR(result.nodes.codes[kChannelG].mean, 3.0, kNear);
    EXPECT_EQ(result.nodes.codes[kChannelR].max, 0.0);
    EXPECT_NEAR(result.nodes.codes[kChannelsAll].mean, 1.0, kNear);
    EXPECT_NEAR(result.nodes.codes[kChannelsAll].p99_9, 3.0, kNear);
    EXPECT_EQ(result.centres.codes[kChannelsAll].max, 0.0);
    EXPECT_NEAR(result.all.codes[kChannelG].mean, 8.0 * 3.0 / 9.0, kNear);
    EXPECT_NEAR(result.all.codes[kChannelsAll].mean, 8.0 / 9.0, kNear);
    EXPECT_GT(result.all.deltaE.max, 0.0);
    EXPECT_FALSE(result.withinTolerance);
    EXPECT_TRUE(Compare(inputs, b, 8, 3.5).withinTolerance);
}

TEST(Comparison, GivesTheSameFiguresWhateverTheThreadCount) {
    const LargeFloats inputs = MakeComparisonInputs(17);
    LargeFloats b = inputs;
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = b[i] * b[i] + float(i % 7) * 0.001f;
    const size_t nodes = ComparisonNodeCount(17);
    const Comparison one = Compare(inputs, b, nodes, 1.0, 1);
    const Comparison four = Compare(inputs, b, nodes, 1.0, 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(one.all.codes[c].mean, four.all.codes[c].mean);
        EXPECT_EQ(one.centres.codes[c].p99_9, four.centres.codes[c].p99_9);
    }
    EXPECT_EQ(one.all.deltaE.mean, four.all.deltaE.mean);
    EXPECT_EQ(one.worst[4].deltaE, four.worst[4].deltaE);
    EXPECT_GE(one.worst[0].deltaE, one.worst[4].deltaE);
}

} // namespace
