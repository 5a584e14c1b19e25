#include "lut/curve.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kLargestEndTangent = 1000000.0;

using EInterpolation = CVxCurve::EInterpolation;
using EExtrapolation = CVxCurve::EExtrapolation;

bool IsAutomatic(EInterpolation interpolation) {
    return interpolation == EInterpolation::eHermiteAuto ||
           interpolation == EInterpolation::eHermiteMonotone;
}

// Keeps a tangent from turning against, or rising more than three times as
// steep as, the secant beside it.
double LimitToSecant(double tangent, double secant) {
    if (secant == 0.0 || tangent * secant < 0.0) {
        return 0.0;
    }
    if (std::fabs(tangent) > 3.0 * std::fabs(secant)) {
        return 3.0 * secant;
    }
    return tangent;
}

// Slope of the segment from a to b.
double SegmentSlope(const CurvePoint& a, const CurvePoint& b) {
    return (b.y - a.y) / (b.x - a.x);
}

// The automatic tangent at a point, from the slopes of the interpolated
// segments beside it.
double TangentFromSlopes(bool monotone, bool hasLeft, double leftSlope, bool hasRight,
                         double rightSlope) {
    double tangent = AutomaticTangent(hasLeft, leftSlope, hasRight, rightSlope);
    if (monotone) {
        if (hasLeft) {
            tangent = LimitToSecant(tangent, leftSlope);
        }
        if (hasRight) {
            tangent = LimitToSecant(tangent, rightSlope);
        }
    }
    return tangent;
}

} // namespace

CVxCurve::CVxCurve(EInterpolation interpolation, EExtrapolation extrapolation)
    : m_interpolation(interpolation), m_extrapolation(extrapolation) {}

CVxCurve::~CVxCurve() {
    std::free(m_points);
}

void CVxCurve::SetInterpolation(EInterpolation interpolation) {
    m_interpolation = interpolation;
    if (!IsAutomatic(interpolation)) {
        return;
    }
    // Each segment's slope serves the tangents at both of its ends.
    const bool monotone = interpolation == EInterpolation::eHermiteMonotone;
    double slopeFromLeft = 0.0;
    for (size_t i = 0; i < m_count; ++i) {
        CurvePoint& point = m_points[i];
        const bool hasLeft = i > 0 && point.interpolate != 0;
        const bool hasRight = i + 1 < m_count && m_points[i + 1].interpolate != 0;
        const double leftSlope = hasLeft ? slopeFromLeft : 0.0;
        const double rightSlope = hasRight ? SegmentSlope(point, m_points[i + 1]) : 0.0;
        point.inTangent = point.outTangent =
            TangentFromSlopes(monotone, hasLeft, leftSlope, hasRight, rightSlope);
        slopeFromLeft = rightSlope;
    }
}

bool CVxCurve::Reserve(size_t count) {
    if (count <= m_capacity) {
        return true;
    }
    void* grown = std::realloc(m_points, count * sizeof(CurvePoint));
    if (grown == nullptr) {
        return false;
    }
    m_points = static_cast<CurvePoint*>(grown);
    m_capacity = count;
    return true;
}

bool CVxCurve::AddPoint(double x, double y, bool interpolate) {
    return AddPoint(x, y, 0.0, 0.0, interpolate);
}

bool CVxCurve::AddPoint(double x, double y, double inTangent, double outTangent, bool interpolate) {
    bool replaces = false;
    const size_t index = InsertPosition(x, replaces);
    if (replaces) {
        m_points[index].y = y;
        m_points[index].interpolate = interpolate ? 1 : 0;
        UpdateTangentsAround(index);
        return true;
    }
    if (m_count == m_capacity && !Reserve(m_capacity < 8 ? 8 : m_capacity * 2)) {
        return false;
    }
    std::memmove(m_points + index + 1, m_points + index, (m_count - index) * sizeof(CurvePoint));
    CurvePoint& point = m_points[index];
    point.x = x;
    point.y = y;
    point.inTangent = inTangent;
    point.outTangent = outTangent;
    point.interpolate = interpolate ? 1 : 0;
    ++m_count;
    UpdateTangentsAround(index);
    return true;
}

bool CVxCurve::AppendPointSlowly(double x, double y, double inTangent, double outTangent) {
    if (m_count > 0 && !(x > m_points[m_count - 1].x + kSameXTolerance)) {
        return AddPoint(x, y, inTangent, outTangent, true);
    }
    if (m_count == m_capacity && !Reserve(m_capacity < 8 ? 8 : m_capacity * 2)) {
        return false;
    }
    m_points[m_count++] = CurvePoint{y, x, inTangent, outTangent, 1};
    return true;
}

void CVxCurve::FinishAppending() {
    SetInterpolation(m_interpolation);
}

void CVxCurve::ScaleDown(double xDivisor, double yDivisor) {
    const double slopeFactor = xDivisor / yDivisor;
    for (size_t i = 0; i < m_count; ++i) {
        m_points[i].x /= xDivisor;
        m_points[i].y /= yDivisor;
        m_points[i].inTangent *= slopeFactor;
        m_points[i].outTangent *= slopeFactor;
    }
    SetInterpolation(m_interpolation);
}

// Index of the point within tolerance of x, or of the first point beyond x.
size_t CVxCurve::InsertPosition(double x, bool& replaces) const {
    size_t low = 0;
    size_t high = m_count;
    while (low < high) {
        const size_t middle = (low + high) / 2;
        if (m_points[middle].x < x) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low < m_count && std::fabs(m_points[low].x - x) <= kSameXTolerance) {
        replaces = true;
        return low;
    }
    if (low > 0 && std::fabs(m_points[low - 1].x - x) <= kSameXTolerance) {
        replaces = true;
        return low - 1;
    }
    replaces = false;
    return low;
}

void CVxCurve::UpdateTangentsAround(size_t index) {
    if (!IsAutomatic(m_interpolation)) {
        return;
    }
    if (index > 0) {
        UpdateTangent(index - 1);
    }
    UpdateTangent(index);
    if (index + 1 < m_count) {
        UpdateTangent(index + 1);
    }
}

void CVxCurve::UpdateTangent(size_t index) {
    CurvePoint& point = m_points[index];
    const bool hasLeft = index > 0 && point.interpolate != 0;
    const bool hasRight = index + 1 < m_count && m_points[index + 1].interpolate != 0;
    const double leftSlope = hasLeft ? SegmentSlope(m_points[index - 1], point) : 0.0;
    const double rightSlope = hasRight ? SegmentSlope(point, m_points[index + 1]) : 0.0;
    point.inTangent = point.outTangent =
        TangentFromSlopes(m_interpolation == EInterpolation::eHermiteMonotone, hasLeft, leftSlope,
                          hasRight, rightSlope);
}

double CVxCurve::Evaluate(double x) const {
    if (m_count == 0) {
        return 0.0;
    }
    if (m_count == 1) {
        return m_points[0].y;
    }
    if (x < m_points[0].x || x > m_points[m_count - 1].x) {
        return EvaluateOutside(x);
    }
    return EvaluateInside(x);
}

double CVxCurve::EvaluateInside(double x) const {
    const size_t last = m_count - 1;
    if (x >= m_points[last].x) {
        return m_points[last].y;
    }
    // Largest i below the last point with x_i <= x.
    size_t low = 0;
    size_t high = last;
    while (high - low > 1) {
        const size_t middle = (low + high) / 2;
        if (m_points[middle].x <= x) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return EvaluateSegment(low, x);
}

// The segment from point `low` to its right neighbour, at an x inside it.
double CVxCurve::EvaluateSegment(size_t low, double x) const {
    const CurvePoint& a = m_points[low];
    const CurvePoint& b = m_points[low + 1];
    if (b.interpolate == 0 || m_interpolation == EInterpolation::eStep) {
        return a.y;
    }
    const double dx = b.x - a.x;
    const double t = (x - a.x) / dx;
    if (m_interpolation == EInterpolation::eLinear) {
        return a.y * (1.0 - t) + b.y * t;
    }
    return HermiteValue(HermiteBasisAt(t, dx), a.y, b.y, a.outTangent, b.inTangent);
}

void CVxCurve::EvaluateRising(const double* x, size_t count, double* out) const {
    if (m_count < 2) {
        for (size_t i = 0; i < count; ++i) {
            out[i] = Evaluate(x[i]);
        }
        return;
    }
    const size_t last = m_count - 1;
    const double first = m_points[0].x;
    const double end = m_points[last].x;
    const bool hermite =
        m_interpolation != EInterpolation::eLinear && m_interpolation != EInterpolation::eStep;
    size_t low = 0;
    for (size_t i = 0; i < count; ++i) {
        const double v = x[i];
        if (v < first || v > end) {
            out[i] = EvaluateOutside(v);
            continue;
        }
        if (v >= end) {
            out[i] = m_points[last].y;
            continue;
        }
        while (low + 1 < last && m_points[low + 1].x <= v) {
            ++low;
        }
        const CurvePoint& a = m_points[low];
        const CurvePoint& b = m_points[low + 1];
        if (!hermite || b.interpolate == 0) {
            out[i] = EvaluateSegment(low, v);
            continue;
        }
        const double dx = b.x - a.x;
        out[i] =
            HermiteValue(HermiteBasisAt((v - a.x) / dx, dx), a.y, b.y, a.outTangent, b.inTangent);
    }
}

double CVxCurve::EvaluateOutside(double x) const {
    const CurvePoint& first = m_points[0];
    const CurvePoint& last = m_points[m_count - 1];
    const bool below = x < first.x;
    const double period = last.x - first.x;
    switch (m_extrapolation) {
    case EExtrapolation::eLinearEnds: {
        const CurvePoint& end = below ? first : last;
        const double tangent = below ? first.outTangent : last.inTangent;
        if (std::fabs(tangent) >= kLargestEndTangent) {
            return end.y;
        }
        return end.y + (x - end.x) * tangent;
    }
    case EExtrapolation::eRepeat:
    case EExtrapolation::eRepeatMirrored:
    case EExtrapolation::eRepeatRising: {
        if (!(period > 0.0)) {
            break;
        }
        const double cycles = std::floor((x - first.x) / period);
        double local = x - cycles * period;
        local = local < first.x ? first.x : (local > last.x ? last.x : local);
        const bool odd = std::fmod(std::fabs(cycles), 2.0) == 1.0;
        if (m_extrapolation == EExtrapolation::eRepeatMirrored && odd) {
            local = first.x + last.x - local;
        }
        double value = EvaluateInside(local);
        if (m_extrapolation == EExtrapolation::eRepeatRising) {
            value += cycles * (last.y - first.y);
        }
        return value;
    }
    default:
        break;
    }
    return below ? first.y : last.y;
}
