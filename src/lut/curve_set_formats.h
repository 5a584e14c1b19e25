#pragma once

#include "lut/curve.h"

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <map>

// The text formats of curve-set files, in the order CVxCurveSet tries them.
// Each reader fills the four curves (red, green, blue, master), which the
// caller has emptied and set to automatic tangents with linear ends, and
// returns false when the text is not of its format; the curves may then hold
// some points.
using CurveQuad = CVxCurve* const[4];

// Lines of "Key Value" (or "Key = Value") that set the log-to-linear
// conversion of all three channels.
bool ReadConversionSettings(const char* text, size_t length, CurveQuad curves);
// A settings document whose "Log10Bit" group sets the conversion per channel.
bool ReadLog10BitSettings(const char* text, size_t length, CurveQuad curves);
// A "LUT: channels entries" header followed by integer values, channel by channel.
bool ReadIntegerTable(const char* text, size_t length, CurveQuad curves);
// Lookup(..., red, green, blue, master) with a curve expression for each curve.
bool ReadCurveExpressions(const char* text, size_t length, CurveQuad curves);
// One line of three integers (red, green, blue) per input level.
bool ReadColumns(const char* text, size_t length, CurveQuad curves);

// The log-to-linear conversion of one channel, in 10-bit code values.
struct ConversionSettings {
    double gammaDisplay = 2.2;
    double gammaLog = 1.7;
    uint32_t referenceBlack = 95;
    uint32_t referenceWhite = 685;
    uint32_t softClip = 0;
};
void BuildConversionCurve(CVxCurve& curve, const ConversionSettings& settings);
// Points (0, 0) and (1, 1).
void MakeIdentity(CVxCurve& curve);

// Whole-token number parsers over text that need not end in a NUL; false
// for text that does not convert, lies outside the range or is implausibly long.
bool ParseUnsignedToken(const char* begin, size_t length, uint32_t hi, uint32_t& out);
bool ParseDecimalToken(const char* begin, size_t length, double lo, double hi, double& out);
bool ParseBoolToken(const char* begin, size_t length, bool& out);

// Comparisons of ASCII text without regard to case.
bool TextEqualsNoCase(const char* text, size_t length, const char* word);
bool TextStartsWithNoCase(const char* text, size_t length, const char* prefix);

// Gathers points in the order a file gives them, with the rule of
// CVxCurve::AddPoint (a point within the same-x tolerance of an earlier one
// replaces its y), and then adds them to a curve in x order. Long lists in
// falling order thus cost O(n log n) instead of shifting the curve's points.
class CurvePointBatch {
public:
    void Add(double x, double y, double inTangent = 0.0, double outTangent = 0.0);
    // False when memory runs out.
    bool AddTo(CVxCurve& curve) const;

private:
    struct Value {
        double y;
        double inTangent;
        double outTangent;
    };
    std::map<double, Value> m_points;
};
