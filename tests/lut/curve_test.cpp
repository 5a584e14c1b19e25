#include "lut/curve.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using EInterpolation = CVxCurve::EInterpolation;
using EExtrapolation = CVxCurve::EExtrapolation;

struct Point {
    double x, y, tangent; // the tangent only counts for kind eHermite
};

// (0, 0), (1, 1), (3, 0): secants 1 and -0.5, automatic tangents 1, 0.25, -0.5.
const std::vector<Point> kPeak = {{3, 0, 0}, {0, 0, 0}, {1, 1, 0}};
// (0, 0), (2, 1): period 2, rise 1.
const std::vector<Point> kRamp = {{0, 0, 0}, {2, 1, 0}};
// Secants 0.1, 9.9 and 0: the automatic tangent 5 at x = 1 is cut to 0.3 by kind 4, and
// x = 2, next to a flat secant, gets tangent 0.
const std::vector<Point> kSteep = {{0, 0, 0}, {1, 0.1, 0}, {2, 10, 0}, {3, 10, 0}};
// Secants 1, 0.5, -1.5: kind 4 flattens x = 2, whose mean -0.5 turns against its left secant.
const std::vector<Point> kTurn = {{0, 0, 0}, {1, 1, 0}, {2, 1.5, 0}, {3, 0, 0}};
// Given tangents 2 and 0 (kept by kind 2), and an end tangent at the hold limit.
const std::vector<Point> kGiven = {{0, 0, 2}, {1, 1, 0}};
const std::vector<Point> kGivenSteepEnd = {{0, 0, 1}, {1, 1, 1e6}};
const std::vector<Point> kGivenEnd = {{0, 0, 1}, {1, 1, 999999}};

TEST(Curve, InterpolationKindsTangentsAndEnds) {
    using enum EInterpolation;
    using enum EExtrapolation;
    struct Case {
        const std::vector<Point>* points;
        EInterpolation kind;
        EExtrapolation ends;
        double x, expected;
    } cases[] = {{&kPeak, eLinear, eHoldEnds, 0.5, 0.5},
                 {&kPeak, eLinear, eHoldEnds, 2.0, 0.5},
                 {&kPeak, eStep, eHoldEnds, 0.99, 0.0},
                 {&kPeak, eStep, eHoldEnds, 1.0, 1.0},
                 {&kPeak, eHermiteAuto, eHoldEnds, 1.0, 1.0},
                 {&kPeak, eHermiteAuto, eHoldEnds, 0.5, 0.59375},
                 {&kPeak, eHermiteAuto, eHoldEnds, -4, 0.0},
                 {&kPeak, eHermiteAuto, eHoldEnds, 9.0, 0.0},
                 {&kPeak, eHermite, eHoldEnds, 0.5, 0.5},
                 {&kPeak, eHermiteMonotone, eHoldEnds, 0.5, 0.625},
                 {&kPeak, eHermiteAuto, eLinearEnds, -1.0, -1.0},
                 {&kPeak, eHermiteAuto, eLinearEnds, 4.0, -0.5},
                 {&kPeak, eHermiteAuto, eRepeat, 4.0, 1.0},
                 {&kPeak, eHermiteAuto, eRepeatMirrored, 4.0, 0.6875},
                 {&kRamp, eLinear, eRepeat, -0.5, 0.75},
                 {&kRamp, eLinear, eRepeat, 6.5, 0.25},
                 {&kRamp, eLinear, eRepeatMirrored, -0.5, 0.25},
                 {&kRamp, eLinear, eRepeatMirrored, 4.5, 0.25},
                 {&kRamp, eLinear, eRepeatMirrored, 2.5, 0.75},
                 {&kRamp, eLinear, eRepeatRising, 5.0, 2.5},
                 {&kRamp, eLinear, eRepeatRising, -1.0, -0.5},
                 {&kSteep, eHermiteMonotone, eHoldEnds, 0.5, 0.025},
                 {&kSteep, eHermiteAuto, eHoldEnds, 0.5, -0.5625},
                 {&kSteep, eHermiteMonotone, eHoldEnds, 2.5, 10.0},
                 {&kTurn, eHermiteMonotone, eHoldEnds, 1.5, 1.34375},
                 {&kTurn, eHermiteAuto, eHoldEnds, 1.5, 1.40625},
                 {&kGiven, eHermite, eHoldEnds, 0.5, 0.75},
                 {&kGiven, eHermite, eLinearEnds, -1.0, -2.0},
                 {&kGivenSteepEnd, eHermite, eLinearEnds, 2.0, 1.0},
                 {&kGivenEnd, eHermite, eLinearEnds, 2.0, 1000000.0}};
    for (const Case& c : cases) {
        CVxCurve curve(c.kind, c.ends);
        for (const Point& p : *c.points)
            curve.AddPoint(p.x, p.y, p.tangent, p.tangent, true);
        EXPECT_DOUBLE_EQ(curve.Evaluate(c.x), c.expected)
            << int(c.kind) << "/" << int(c.ends) << " at " << c.x << " over " << c.points->size()
            << " points";
    }
}

TEST(Curve, ReplacesPointsWithinToleranceAndKeepsGivenTangents) {
    CVxCurve curve(EInterpolation::eHermiteAuto, EExtrapolation::eHoldEnds);
    curve.AddPoint(0.0, 0.0);
    curve.AddPoint(1.0, 1.0);
    curve.AddPoint(2.0, 2.0);
    curve.AddPoint(1.0 + 5e-10, 4.0);
    ASSERT_EQ(curve.PointCount(), 3u);
    EXPECT_EQ(curve.Point(1).x, 1.0);
    EXPECT_EQ(curve.Evaluate(1.0), 4.0);
    EXPECT_EQ(curve.Point(0).outTangent, 4.0);
    EXPECT_EQ(curve.Point(2).inTangent, -2.0);
    curve.AddPoint(1.0 + 2e-9, 4.0);
    EXPECT_EQ(curve.PointCount(), 4u);

    // Given tangents survive later points.
    CVxCurve given(EInterpolation::eHermite, EExtrapolation::eHoldEnds);
    given.AddPoint(0.0, 0.0, 0.5, 0.75, true);
    given.AddPoint(1.0, 1.0, 3.0, 4.0, true);
    given.AddPoint(0.5, 0.2, 0.0, 0.0, true);
    EXPECT_EQ(given.Point(0).outTangent, 0.75);
    EXPECT_EQ(given.Point(2).inTangent, 3.0);
}

TEST(Curve, AppendingAndRisingEvaluationMatchThePlainForms) {
    // Rising x with one step back and one point within the same-x tolerance.
    const Point points[] = {{0, 0.1, 0.5},         {0.2, 0.4, -1}, {0.5, 0.3, 2}, {0.4, 0.9, 0},
                            {0.5 + 5e-10, 0.6, 1}, {0.9, 1.2, 0},  {1.3, 0.2, 3}};
    std::vector<double> inputs;
    for (int i = -150; i <= 250; ++i) // hits every point's x exactly
        inputs.push_back(i / 100.0);
    for (int kind = 0; kind <= CVxCurve::kLastInterpolation; ++kind) {
        for (int ends = 0; ends <= CVxCurve::kLastExtrapolation; ++ends) {
            CVxCurve added{EInterpolation(kind), EExtrapolation(ends)};
            CVxCurve appended{EInterpolation(kind), EExtrapolation(ends)};
            for (const Point& p : points) {
                added.AddPoint(p.x, p.y, p.tangent, p.tangent, true);
                appended.AppendPoint(p.x, p.y, p.tangent, p.tangent);
            }
            appended.FinishAppending();
            ASSERT_EQ(appended.PointCount(), added.PointCount());
            std::vector<double> rising(inputs.size());
            appended.EvaluateRising(inputs.data(), inputs.size(), rising.data());
            for (size_t i = 0; i < inputs.size(); ++i)
                ASSERT_EQ(rising[i], added.Evaluate(inputs[i]))
                    << kind << "/" << ends << " at " << inputs[i];
        }
    }
}

} // namespace
