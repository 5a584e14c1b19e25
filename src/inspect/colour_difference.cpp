#include "inspect/colour_difference.h"

#include <cmath>
#include <numbers>

namespace {

double DecodeSrgb(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// The CIELAB companding function f(t) with its linear part below (6/29)^3.
double LabF(double t) {
    constexpr double delta = 6.0 / 29.0;
    return t > delta * delta * delta ? std::cbrt(t) : t / (3.0 * delta * delta) + 4.0 / 29.0;
}

constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr double kRadians = std::numbers::pi / 180.0;

double CosDegrees(double angle) {
    return std::cos(angle * kRadians);
}

// The hue angle h' in degrees, in [0, 360); 0 for a neutral colour.
double HueDegrees(double b, double aPrime) {
    if (b == 0.0 && aPrime == 0.0)
        return 0.0;
    const double h = std::atan2(b, aPrime) * kDegrees;
    return h < 0.0 ? h + 360.0 : h;
}

// 25^7, the chroma at which the a* correction and the rotation term are halved.
constexpr double kChroma7 = 6103515625.0;

double Pow7(double x) {
    const double x2 = x * x;
    return x2 * x2 * x2 * x;
}

} // namespace

Lab SrgbToLab(double r, double g, double b) {
    r = DecodeSrgb(r);
    g = DecodeSrgb(g);
    b = DecodeSrgb(b);
    // The matrix of IEC 61966-2-1; its rows' sums are the white.
    const double x = 0.4124 * r + 0.3576 * g + 0.1805 * b;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = 0.0193 * r + 0.1192 * g + 0.9505 * b;
    const double fx = LabF(x / 0.9505);
    const double fy = LabF(y);
    const double fz = LabF(z / 1.0890);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double DeltaE2000(const Lab& first, const Lab& second) {
    const double c1 = std::hypot(first.a, first.b);
    const double c2 = std::hypot(second.a, second.b);
    const double cMean7 = Pow7((c1 + c2) / 2.0);
    const double g = 0.5 * (1.0 - std::sqrt(cMean7 / (cMean7 + kChroma7)));
    const double a1 = (1.0 + g) * first.a;
    const double a2 = (1.0 + g) * second.a;
    const double cp1 = std::hypot(a1, first.b);
    const double cp2 = std::hypot(a2, second.b);
    const double h1 = HueDegrees(first.b, a1);
    const double h2 = HueDegrees(second.b, a2);

    const bool neutral = cp1 * cp2 == 0.0;
    double dh = h2 - h1;
    if (neutral)
        dh = 0.0;
    else if (dh > 180.0)
        dh -= 360.0;
    else if (dh < -180.0)
        dh += 360.0;
    const double dL = second.L - first.L;
    const double dC = cp2 - cp1;
    const double dH = 2.0 * std::sqrt(cp1 * cp2) * std::sin(dh * kRadians / 2.0);

    const double lMean = (first.L + second.L) / 2.0;
    const double cpMean = (cp1 + cp2) / 2.0;
    double hMean = h1 + h2;
    if (!neutral)
        hMean = std::fabs(h1 - h2) <= 180.0 ? hMean / 2.0
                : hMean < 360.0             ? (hMean + 360.0) / 2.0
                                            : (hMean - 360.0) / 2.0;

    const double t = 1.0 - 0.17 * CosDegrees(hMean - 30.0) + 0.24 * CosDegrees(2.0 * hMean) +
                     0.32 * CosDegrees(3.0 * hMean + 6.0) - 0.20 * CosDegrees(4.0 * hMean - 63.0);
    const double dTheta = 30.0 * std::exp(-((hMean - 275.0) / 25.0) * ((hMean - 275.0) / 25.0));
    const double cpMean7 = Pow7(cpMean);
    const double rC = 2.0 * std::sqrt(cpMean7 / (cpMean7 + kChroma7));
    const double l50 = (lMean - 50.0) * (lMean - 50.0);
    const double sL = 1.0 + 0.015 * l50 / std::sqrt(20.0 + l50);
    const double sC = 1.0 + 0.045 * cpMean;
    const double sH = 1.0 + 0.015 * cpMean * t;
    const double rT = -std::sin(2.0 * dTheta * kRadians) * rC;

    const double tL = dL / sL, tC = dC / sC, tH = dH / sH;
    return std::sqrt(tL * tL + tC * tC + tH * tH + rT * tC * tH);
}
