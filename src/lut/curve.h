#pragma once

#include <cstddef>
#include <cstdint>

// One control point of a CVxCurve. The interpolate flag belongs to the
// segment that ends at this point: when it is clear, that segment holds the
// left point's value.
struct CurvePoint {
    double y = 0;
    double x = 0;
    double inTangent = 0;
    double outTangent = 0;
    uint8_t interpolate = 1;
};

// The cubic Hermite basis at one parameter t of a segment of width dx. The
// resampler precomputes these per output position; the curve computes them
// on the fly. Both then combine through HermiteValue, so that both produce
// the same bits.
struct HermiteBasis {
    double h00 = 0;
    double h01 = 0;
    double h10 = 0;
    double h11 = 0;
    double dx = 0;
};

inline HermiteBasis HermiteBasisAt(double t, double dx) {
    const double t2 = t * t;
    const double t3 = t2 * t;
    HermiteBasis w;
    w.h00 = 2.0 * t3 - 3.0 * t2 + 1.0;
    w.h01 = 3.0 * t2 - 2.0 * t3;
    w.h10 = t3 - 2.0 * t2 + t;
    w.h11 = t3 - t2;
    w.dx = dx;
    return w;
}

inline double HermiteValue(const HermiteBasis& w, double y0, double y1, double m0, double m1) {
    return w.h00 * y0 + w.h01 * y1 + w.h10 * m0 * w.dx + w.h11 * m1 * w.dx;
}

// Mean of the secant slopes on either side of a point, counting only the
// sides that exist and are interpolated.
inline double AutomaticTangent(bool hasLeft, double leftSlope, bool hasRight, double rightSlope) {
    if (hasLeft && hasRight) {
        return (leftSlope + rightSlope) * 0.5;
    }
    if (hasLeft) {
        return leftSlope;
    }
    if (hasRight) {
        return rightSlope;
    }
    return 0.0;
}

// The framework's 1D control-point curve: points sorted by x, interpolated
// piecewise and extended beyond its ends by an extrapolation rule.
class CVxCurve {
public:
    // The numbers are those of the framework's curve texts.
    enum class EInterpolation : uint8_t {
        eLinear = 0,
        eStep = 1,
        eHermite = 2,         // tangents as given
        eHermiteAuto = 3,     // tangents from the neighbouring secants
        eHermiteMonotone = 4, // automatic tangents limited to keep segments monotone
    };
    enum class EExtrapolation : uint8_t {
        eHoldEnds = 0,
        eLinearEnds = 1,     // along the end tangent while it is below 1e6 in magnitude
        eRepeat = 2,         // period x_last - x_first
        eRepeatMirrored = 3, // every other period mirrored
        eRepeatRising = 4,   // each period raised by y_last - y_first
    };
    static constexpr int kLastInterpolation = 4;
    static constexpr int kLastExtrapolation = 4;

    // Points closer than this in x are the same point.
    static constexpr double kSameXTolerance = 1e-9;

    explicit CVxCurve(EInterpolation interpolation = EInterpolation::eHermiteAuto,
                      EExtrapolation extrapolation = EExtrapolation::eHoldEnds);
    CVxCurve(const CVxCurve& other) = delete;
    CVxCurve& operator=(const CVxCurve& other) = delete;
    ~CVxCurve();

    EInterpolation Interpolation() const { return m_interpolation; }
    EExtrapolation Extrapolation() const { return m_extrapolation; }
    // Changing to an automatic kind recomputes every tangent.
    void SetInterpolation(EInterpolation interpolation);
    void SetExtrapolation(EExtrapolation extrapolation) { m_extrapolation = extrapolation; }

    // Drops the points, keeps the allocation.
    void Empty() { m_count = 0; }
    bool Reserve(size_t count);
    // Inserts in x order, or replaces y and flag of the point within
    // kSameXTolerance of x. False only when memory runs out.
    bool AddPoint(double x, double y, bool interpolate = true);
    // As AddPoint, with tangents that the automatic kinds will overwrite.
    bool AddPoint(double x, double y, double inTangent, double outTangent, bool interpolate);

    // For points given in rising x: one beyond the last point is appended
    // without updating tangents, any other goes through AddPoint. After the
    // last one, FinishAppending computes the tangents once; the curve is then
    // the same as after AddPoint of each point in turn.
    bool AppendPoint(double x, double y, double inTangent = 0.0, double outTangent = 0.0) {
        // Inline, as readers append a point per number they read.
        if (m_count == 0 || m_count == m_capacity ||
            !(x > m_points[m_count - 1].x + kSameXTolerance))
            return AppendPointSlowly(x, y, inTangent, outTangent);
        m_points[m_count++] = CurvePoint{y, x, inTangent, outTangent, 1};
        return true;
    }
    void FinishAppending();

    size_t PointCount() const { return m_count; }
    const CurvePoint& Point(size_t index) const { return m_points[index]; }
    // Divides every x by xDivisor and every y by yDivisor. Automatic tangents
    // are recomputed from the new points, given ones scaled to match.
    void ScaleDown(double xDivisor, double yDivisor);

    double Evaluate(double x) const;
    // Evaluate at each of count inputs given in rising order, walking the
    // segments instead of searching each.
    void EvaluateRising(const double* x, size_t count, double* out) const;

private:
    bool AppendPointSlowly(double x, double y, double inTangent, double outTangent);
    size_t InsertPosition(double x, bool& replaces) const;
    void UpdateTangentsAround(size_t index);
    void UpdateTangent(size_t index);
    double EvaluateInside(double x) const;
    double EvaluateSegment(size_t low, double x) const;
    double EvaluateOutside(double x) const;

    CurvePoint* m_points = nullptr;
    size_t m_count = 0;
    size_t m_capacity = 0;
    EInterpolation m_interpolation;
    EExtrapolation m_extrapolation;
};
