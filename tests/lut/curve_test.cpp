#include "lut/curve.h"

#include <gtest/gtest.h>

namespace {

TEST(Curve, InterpolationKindsTangentsAndEnds) {
    constexpr int kHold = CVxCurve::eHoldEnds;
    struct Case {
        int kind, ends;
        double x, expected;
    } cases[] = {
        {CVxCurve::eLinear, kHold, 0.5, 0.5},
        {CVxCurve::eLinear, kHold, 2.0, 0.5},
        {CVxCurve::eStep, kHold, 0.99, 0.0},
        {CVxCurve::eStep, kHold, 1.0, 1.0},
        {CVxCurve::eHermiteAuto, kHold, 1.0, 1.0},
        {CVxCurve::eHermiteAuto, kHold, 0.5, 0.59375},
        {CVxCurve::eHermiteAuto, kHold, -4, 0.0},
        {CVxCurve::eHermiteAuto, kHold, 9.0, 0.0},
        {CVxCurve::eHermite, kHold, 0.5, 0.5},
        {CVxCurve::eHermiteMonotone, kHold, 0.5, 0.625},
        {CVxCurve::eHermiteAuto, CVxCurve::eLinearEnds, -1.0, -1.0},
        {CVxCurve::eHermiteAuto, CVxCurve::eLinearEnds, 4.0, -0.5},
        {CVxCurve::eHermiteAuto, CVxCurve::eRepeat, 4.0, 1.0},
        {CVxCurve::eHermiteAuto, CVxCurve::eRepeatMirrored, 4.0, 0.6875},
    };
    for (const Case& c : cases) {
        // Points (0, 0), (1, 1), (3, 0): secants 1 and -0.5.
        CVxCurve curve(c.kind, c.ends);
        curve.AddPoint(3.0, 0.0);
        curve.AddPoint(0.0, 0.0);
        curve.AddPoint(1.0, 1.0);
        EXPECT_DOUBLE_EQ(curve.Evaluate(c.x), c.expected)
            << c.kind << "/" << c.ends << " at " << c.x;
    }
    CVxCurve curve(CVxCurve::eHermiteAuto, CVxCurve::eHoldEnds);
    for (double x : {0.0, 1.0, 3.0})
        curve.AddPoint(x, x == 1.0 ? 1.0 : 0.0);
    EXPECT_EQ(curve.Point(0).outTangent, 1.0);
    EXPECT_EQ(curve.Point(1).inTangent, 0.25);
    EXPECT_EQ(curve.Point(2).inTangent, -0.5);

    CVxCurve monotone(CVxCurve::eHermiteMonotone, CVxCurve::eHoldEnds);
    for (double x : {0.0, 1.0, 2.0})
        monotone.AddPoint(x, x == 0.0 ? 0.0 : 1.0);
    EXPECT_EQ(monotone.Point(1).outTangent, 0.0);
}

TEST(Curve, ReplacesPointsWithinToleranceAndHonoursFlags) {
    CVxCurve curve(CVxCurve::eHermiteAuto, CVxCurve::eHoldEnds);
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

    // A clear flag holds the segment that ends at that point and drops its secant.
    CVxCurve held(CVxCurve::eHermiteAuto, CVxCurve::eHoldEnds);
    held.AddPoint(0.0, 0.0);
    held.AddPoint(1.0, 1.0, false);
    held.AddPoint(2.0, 3.0);
    EXPECT_EQ(held.Evaluate(0.75), 0.0);
    EXPECT_EQ(held.Point(1).inTangent, 2.0);
    EXPECT_EQ(held.Point(0).outTangent, 0.0);
}

} // namespace
