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
// Secants 0.1 and 9.9: the automatic tangent 5 at x = 1 is cut to 0.3 by kind 4.
const std::vector<Point> kSteep = {{0, 0, 0}, {1, 0.1, 0}, {2, 10, 0}};
// Secants 1, 0.5, -1.5: kind 4 flattens x = 2, whose mean -0.5 turns against its left secant.
const std::vector<Point> kTurn = {{0, 0, 0}, {1, 1, 0}, {2, 1.5, 0}, {3, 0, 0}};
// Given tangents 2 and 0 (kept by kind 2), and an end tangent at the hold limit.
const std::vector<Point> kGiven = {{0, 0, 2}, {1, 1, 0}};
const std::vector<Point> kGivenSteepEnd = {{0, 0, 1}, {1, 1, 1e6}};
const std::vector<Point> kGivenEnd = {{0, 0, 1}, {1, 1, 999999}};

TEST(Curve, InterpolationKindsTangentsAndEnds) {
    constexpr EExtrapolation kHold = EExtrapolation::eHoldEnds;
    struct Case {
        const std::vector<Point>* points;
        EInterpolation kind;
        EExtrapolation ends;
        double x, expected;
    } cases[] = {
        {&kPeak, EInterpolation::eLinear, kHold, 0.5, 0.5},
        {&kPeak, EInterpolation::eLinear, kHold, 2.0, 0.5},
        {&kPeak, EInterpolation::eStep, kHold, 0.99, 0.0},
        {&kPeak, EInterpolation::eStep, kHold, 1.0, 1.0},
        {&kPeak, EInterpolation::eHermiteAuto, kHold, 1.0, 1.0},
        {&kPeak, EInterpolation::eHermiteAuto, kHold, 0.5, 0.59375},
        {&kPeak, EInterpolation::eHermiteAuto, kHold, -4, 0.0},
        {&kPeak, EInterpolation::eHermiteAuto, kHold, 9.0, 0.0},
        {&kPeak, EInterpolation::eHermite, kHold, 0.5, 0.5},
        {&kPeak, EInterpolation::eHermiteMonotone, kHold, 0.5, 0.625},
        {&kPeak, EInterpolation::eHermiteAuto, EExtrapolation::eLinearEnds, -1.0, -1.0},
        {&kPeak, EInterpolation::eHermiteAuto, EExtrapolation::eLinearEnds, 4.0, -0.5},
        {&kPeak, EInterpolation::eHermiteAuto, EExtrapolation::eRepeat, 4.0, 1.0},
        {&kPeak, EInterpolation::eHermiteAuto, EExtrapolation::eRepeatMirrored, 4.0, 0.6875},
        {&kRamp, EInterpolation::eLinear, EExtrapolation::eRepeat, -0.5, 0.75},
        {&kRamp, EInterpolation::eLinear, EExtrapolation::eRepeat, 6.5, 0.25},
        {&kRamp, EInterpolation::eLinear, EExtrapolation::eRepeatMirrored, -0.5, 0.25},
        {&kRamp, EInterpolation::eLinear, EExtrapolation::eRepeatMirrored, 4.5, 0.25},
        {&kRamp, EInterpolation::eLinear, EExtrapolation::eRepeatMirrored, 2.5, 0.75},
        {&kRamp, EInterpolation::eLinear, EExtrapolation::eRepeatRising, 5.0, 2.5},
        {&kRamp, EInterpolation::eLinear, EExtrapolation::eRepeatRising, -1.0, -0.5},
        {&kSteep, EInterpolation::eHermiteMonotone, kHold, 0.5, 0.025},
        {&kSteep, EInterpolation::eHermiteAuto, kHold, 0.5, -0.5625},
        {&kTurn, EInterpolation::eHermiteMonotone, kHold, 1.5, 1.34375},
        {&kTurn, EInterpolation::eHermiteAuto, kHold, 1.5, 1.40625},
        {&kGiven, EInterpolation::eHermite, kHold, 0.5, 0.75},
        {&kGiven, EInterpolation::eHermite, EExtrapolation::eLinearEnds, -1.0, -2.0},
        {&kGivenSteepEnd, EInterpolation::eHermite, EExtrapolation::eLinearEnds, 2.0, 1.0},
        {&kGivenEnd, EInterpolation::eHermite, EExtrapolation::eLinearEnds, 2.0, 1000000.0},
    };
    for (const Case& c : cases) {
        CVxCurve curve(c.kind, c.ends);
        for (const Point& p : *c.points)
            curve.AddPoint(p.x, p.y, p.tangent, p.tangent, true);
        EXPECT_DOUBLE_EQ(curve.Evaluate(c.x), c.expected)
            << int(c.kind) << "/" << int(c.ends) << " at " << c.x << " over " << c.points->size()
            << " points";
    }
    CVxCurve curve(EInterpolation::eHermiteAuto, EExtrapolation::eHoldEnds);
    for (const Point& p : kPeak)
        curve.AddPoint(p.x, p.y);
    EXPECT_EQ(curve.Point(0).outTangent, 1.0);
    EXPECT_EQ(curve.Point(1).inTangent, 0.25);
    EXPECT_EQ(curve.Point(2).inTangent, -0.5);

    CVxCurve monotone(EInterpolation::eHermiteMonotone, EExtrapolation::eHoldEnds);
    for (const Point& p : kSteep)
        monotone.AddPoint(p.x, p.y);
    EXPECT_DOUBLE_EQ(monotone.Point(1).outTangent, 0.3);
    monotone.AddPoint(3.0, 10.0);
    EXPECT_EQ(monotone.Point(2).inTangent, 0.0);
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
            for (size_t i = 0; i < added.PointCount(); ++i) {
                EXPECT_EQ(appended.Point(i).y, added.Point(i).y) << kind << "/" << ends;
                EXPECT_EQ(appended.Point(i).inTangent, added.Point(i).inTangent) << kind;
                EXPECT_EQ(appended.Point(i).outTangent, added.Point(i).outTangent) << kind;
            }
            std::vector<double> rising(inputs.size());
            appended.EvaluateRising(inputs.data(), inputs.size(), rising.data());
            for (size_t i = 0; i < inputs.size(); ++i)
                ASSERT_EQ(rising[i], added.Evaluate(inputs[i]))
                    << kind << "/" << ends << " at " << inputs[i];
        }
    }
}

} // namespace
