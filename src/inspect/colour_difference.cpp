#include "inspect/colour_difference.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

namespace {

// A comparison converts millions of colours, so the two powers are taken
// without pow and cbrt; CIELAB values stay within 1e-9 of the exact ones.

// The decoding curve above its linear part, ((v + 0.055) / 1.055)^2.4, as cubic
// Hermite pieces over 1024 equal steps of [0, 1] that match the curve and its
// slope at their ends: they stay within 2e-13 of the curve.
struct DecodingPieces {
    static constexpr int kSteps = 1024;
    double coefficients[kSteps][4];

    DecodingPieces() {
        auto curve = [](double v) { return std::pow((v + 0.055) / 1.055, 2.4); };
        auto slope = [](double v) { return 2.4 / 1.055 * std::pow((v + 0.055) / 1.055, 1.4); };
        const double h = 1.0 / kSteps;
        for (int k = 0; k < kSteps; ++k) {
            const double p0 = curve(k * h), p1 = curve((k + 1) * h);
            const double m0 = slope(k * h) * h, m1 = slope((k + 1) * h) * h;
            coefficients[k][0] = p0;
            coefficients[k][1] = m0;
            coefficients[k][2] = 3.0 * (p1 - p0) - 2.0 * m0 - m1;
            coefficients[k][3] = 2.0 * (p0 - p1) + m0 + m1;
        }
    }
};
// Made on first use: most runs compare nothing.
const DecodingPieces& Decoding() {
    static const DecodingPieces pieces;
    return pieces;
}

double DecodeSrgb(const DecodingPieces& pieces, double v) {
    if (v <= 0.04045)
        return v / 12.92;
    const double position = v * DecodingPieces::kSteps;
    const int step = std::min(static_cast<int>(position), DecodingPieces::kSteps - 1);
    const double t = position - step;
    const double* c = pieces.coefficients[step];
    return c[0] + t * (c[1] + t * (c[2] + t * c[3]));
}

// The cube root of a positive normal number: a first guess from dividing the
// exponent's bits by three, two steps of Halley's method, each of which cubes
// the relative error (5e-2, 1e-4, 1e-12), and one of Newton's, which squares it.
inline double CubeRoot(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    bits = bits / 3 + 0x2A9F7893782DA1CEull;
    double y;
    std::memcpy(&y, &bits, sizeof y);
    for (int step = 0; step < 2; ++step) {
        const double y3 = y * y * y;
        y *= (y3 + 2.0 * x) / (2.0 * y3 + x);
    }
    return y - (y * y * y - x) / (3.0 * y * y);
}

// The CIELAB companding function f(t) with its linear part below (6/29)^3.
inline double LabF(double t) {
    constexpr double delta = 6.0 / 29.0;
    return t > delta * delta * delta ? CubeRoot(t) : t / (3.0 * delta * delta) + 4.0 / 29.0;
}

constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr double kRadians = std::numbers::pi / 180.0;

// What the hue angles h1' and h2' give the difference: sin(Δh'/2), and the
// mean hue h̄' in degrees with its cosine and sine.
struct HueTerms {
    double halfDifferenceSine = 0.0;
    double meanDegrees = 0.0, meanCosine = 1.0, meanSine = 0.0;
};

// The hue angle h' in degrees, in [0, 360); 0 for a neutral colour.
double HueDegrees(double b, double aPrime) {
    if (b == 0.0 && aPrime == 0.0)
        return 0.0;
    const double h = std::atan2(b, aPrime) * kDegrees;
    return h < 0.0 ? h + 360.0 : h;
}

// The terms from the angles, by the rules as they are written: Δh' = 0 and
// h̄' = h1' + h2' when either colour is neutral, and each wrapped into place
// when the angles lie more than 180° apart.
HueTerms HueTermsFromAngles(double a1, double b1, double a2, double b2, bool neutral) {
    const double h1 = HueDegrees(b1, a1), h2 = HueDegrees(b2, a2);
    double dh = h2 - h1;
    if (neutral)
        dh = 0.0;
    else if (dh > 180.0)
        dh -= 360.0;
    else if (dh < -180.0)
        dh += 360.0;
    double mean = h1 + h2;
    if (!neutral)
        mean = std::fabs(h1 - h2) <= 180.0 ? mean / 2.0
               : mean < 360.0              ? (mean + 360.0) / 2.0
                                           : (mean - 360.0) / 2.0;
    return {std::sin(dh * kRadians / 2.0), mean, std::cos(mean * kRadians),
            std::sin(mean * kRadians)};
}

// The same terms from the hue directions u1 and u2 of two chromatic colours
// that are not (nearly) opposite, with one arctangent instead of two, a sine and a
// cosine: Δh' is the signed angle from u1 to u2 (within ±180°), and h̄' the
// direction of u1 + u2, which the rules place in [0°, 360°).
bool HueTermsFromDirections(double a1, double b1, double cp1, double a2, double b2, double cp2,
                            HueTerms& terms) {
    const double r1 = 1.0 / cp1, r2 = 1.0 / cp2;
    const double u1x = a1 * r1, u1y = b1 * r1, u2x = a2 * r2, u2y = b2 * r2;
    const double cosine = u1x * u2x + u1y * u2y, sine = u1x * u2y - u1y * u2x;
    // |u1 + u2| = 2 cos(Δh'/2), from the sum itself: 1 + cos Δh' would lose
    // digits for nearly opposite hues. Hues within a few thousandths of a
    // degree of opposite, whose sum has no direction to speak of, take the
    // angles' way.
    const double sumX = u1x + u2x, sumY = u1y + u2y;
    const double sum = std::sqrt(sumX * sumX + sumY * sumY);
    if (!(sum > 1e-4))
        return false;
    // Of the two forms of sin(Δh'/2), the one that does not subtract nearly
    // equal numbers.
    terms.halfDifferenceSine =
        cosine >= 0.0 ? sine / sum : std::copysign(std::sqrt((1.0 - cosine) / 2.0), sine);
    terms.meanCosine = sumX / sum;
    terms.meanSine = sumY / sum;
    const double mean = std::atan2(terms.meanSine, terms.meanCosine) * kDegrees;
    terms.meanDegrees = mean < 0.0 ? mean + 360.0 : mean;
    return true;
}

// The weighting T of the hue difference, its four cosines got from the mean
// hue's by the multiple-angle formulas.
const double kCos30 = std::cos(30.0 * kRadians), kSin30 = std::sin(30.0 * kRadians);
const double kCos6 = std::cos(6.0 * kRadians), kSin6 = std::sin(6.0 * kRadians);
const double kCos63 = std::cos(63.0 * kRadians), kSin63 = std::sin(63.0 * kRadians);

double HueWeighting(const HueTerms& hue) {
    const double c1 = hue.meanCosine, s1 = hue.meanSine;
    const double c2 = c1 * c1 - s1 * s1, s2 = 2.0 * s1 * c1;
    const double c3 = c2 * c1 - s2 * s1, s3 = s2 * c1 + c2 * s1;
    const double c4 = c2 * c2 - s2 * s2, s4 = 2.0 * s2 * c2;
    return 1.0 - 0.17 * (c1 * kCos30 + s1 * kSin30) + 0.24 * c2 + 0.32 * (c3 * kCos6 - s3 * kSin6) -
           0.20 * (c4 * kCos63 + s4 * kSin63);
}

// sin x for the rotation's angle, which the exponential makes tiny for every
// mean hue below about 169°: under 2^-26, x^3/6 is less than half a unit in
// the last place of x, so sin x rounds to x itself, which is what the C
// library returns there too.
double RotationSine(double x) {
    return std::fabs(x) < 0x1p-26 ? x : std::sin(x);
}

// 25^7, the chroma at which the a* correction and the rotation term are halved.
constexpr double kChroma7 = 6103515625.0;

double Pow7(double x) {
    const double x2 = x * x;
    return x2 * x2 * x2 * x;
}

} // namespace

Lab SrgbToLab(double r, double g, double b) {
    const DecodingPieces& pieces = Decoding();
    r = DecodeSrgb(pieces, r);
    g = DecodeSrgb(pieces, g);
    b = DecodeSrgb(pieces, b);
    // The matrix of IEC 61966-2-1; its rows' sums are the white.
    const double x = 0.4124 * r + 0.3576 * g + 0.1805 * b;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = 0.0193 * r + 0.1192 * g + 0.9505 * b;
    const double fx = LabF(x / 0.9505), fy = LabF(y), fz = LabF(z / 1.0890);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double DeltaE2000(const Lab& first, const Lab& second) {
    const double c1 = std::sqrt(first.a * first.a + first.b * first.b);
    const double c2 = std::sqrt(second.a * second.a + second.b * second.b);
    const double cMean7 = Pow7((c1 + c2) / 2.0);
    const double g = 0.5 * (1.0 - std::sqrt(cMean7 / (cMean7 + kChroma7)));
    const double a1 = (1.0 + g) * first.a;
    const double a2 = (1.0 + g) * second.a;
    const double cp1 = std::sqrt(a1 * a1 + first.b * first.b);
    const double cp2 = std::sqrt(a2 * a2 + second.b * second.b);
    const bool neutral = cp1 * cp2 == 0.0;
    HueTerms hue;
    if (neutral || !HueTermsFromDirections(a1, first.b, cp1, a2, second.b, cp2, hue))
        hue = HueTermsFromAngles(a1, first.b, a2, second.b, neutral);

    const double dL = second.L - first.L;
    const double dC = cp2 - cp1;
    const double dH = 2.0 * std::sqrt(cp1 * cp2) * hue.halfDifferenceSine;
    const double lMean = (first.L + second.L) / 2.0;
    const double cpMean = (cp1 + cp2) / 2.0;
    const double t = HueWeighting(hue);
    const double offset = (hue.meanDegrees - 275.0) / 25.0;
    const double dTheta = 30.0 * std::exp(-offset * offset);
    const double cpMean7 = Pow7(cpMean);
    const double rC = 2.0 * std::sqrt(cpMean7 / (cpMean7 + kChroma7));
    const double l50 = (lMean - 50.0) * (lMean - 50.0);
    const double sL = 1.0 + 0.015 * l50 / std::sqrt(20.0 + l50);
    const double sC = 1.0 + 0.045 * cpMean;
    const double sH = 1.0 + 0.015 * cpMean * t;
    const double rT = -RotationSine(2.0 * dTheta * kRadians) * rC;

    const double tL = dL / sL, tC = dC / sC, tH = dH / sH;
    return std::sqrt(tL * tL + tC * tC + tH * tH + rT * tC * tH);
}
