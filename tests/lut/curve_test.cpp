#include "lut/curve.h"
#include "lut/curve_set.h"
#include "lut/lut.h"

#include "../support/scratch_folder.h"
#include "../support/system_luts.h"
#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {
// Makes the next scalar nothrow allocations of the program fail.
int g_failingNothrowAllocations = 0;
} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failingNothrowAllocations > 0) {
        --g_failingNothrowAllocations;
        return nullptr;
    }
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

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
    using enum CVxCurve::EInterpolation;
    using enum CVxCurve::EExtrapolation;
    struct Case {
        const std::vector<Point>* points;
        EInterpolation kind;
        EExtrapolation ends;
        std::vector<std::pair<double, double>> values; // (x, expected)
    } cases[] = {
        {&kPeak, eLinear, eHoldEnds, {{0.5, 0.5}, {2.0, 0.5}}},
        {&kPeak, eStep, eHoldEnds, {{0.99, 0.0}, {1.0, 1.0}}},
        {&kPeak, eHermiteAuto, eHoldEnds, {{1.0, 1.0}, {0.5, 0.59375}, {-4, 0.0}, {9.0, 0.0}}},
        {&kPeak, eHermite, eHoldEnds, {{0.5, 0.5}}},
        {&kPeak, eHermiteMonotone, eHoldEnds, {{0.5, 0.625}}},
        {&kPeak, eHermiteAuto, eLinearEnds, {{-1.0, -1.0}, {4.0, -0.5}}},
        {&kPeak, eHermiteAuto, eRepeat, {{4.0, 1.0}}},
        {&kPeak, eHermiteAuto, eRepeatMirrored, {{4.0, 0.6875}}},
        {&kRamp, eLinear, eRepeat, {{-0.5, 0.75}, {6.5, 0.25}}},
        {&kRamp, eLinear, eRepeatMirrored, {{-0.5, 0.25}, {4.5, 0.25}, {2.5, 0.75}}},
        {&kRamp, eLinear, eRepeatRising, {{5.0, 2.5}, {-1.0, -0.5}}},
        {&kSteep, eHermiteMonotone, eHoldEnds, {{0.5, 0.025}, {2.5, 10.0}}},
        {&kSteep, eHermiteAuto, eHoldEnds, {{0.5, -0.5625}}},
        {&kTurn, eHermiteMonotone, eHoldEnds, {{1.5, 1.34375}}},
        {&kTurn, eHermiteAuto, eHoldEnds, {{1.5, 1.40625}}},
        {&kGiven, eHermite, eHoldEnds, {{0.5, 0.75}}},
        {&kGiven, eHermite, eLinearEnds, {{-1.0, -2.0}}},
        {&kGivenSteepEnd, eHermite, eLinearEnds, {{2.0, 1.0}}},
        {&kGivenEnd, eHermite, eLinearEnds, {{2.0, 1000000.0}}}};
    for (const Case& c : cases) {
        CVxCurve curve(c.kind, c.ends);
        for (const Point& p : *c.points)
            curve.AddPoint(p.x, p.y, p.tangent, p.tangent, true);
        for (const auto& [x, expected] : c.values)
            EXPECT_DOUBLE_EQ(curve.Evaluate(x), expected)
                << int(c.kind) << "/" << int(c.ends) << " at " << x << " over " << c.points->size()
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
            // Tangents set all at once equal those kept up point by point, held segments included.
            CVxCurve held{EInterpolation(kind), EExtrapolation(ends)};
            for (const Point& p : points)
                held.AddPoint(p.x, p.y, p.tangent, p.tangent, p.x != 0.9);
            std::vector<double> tangents;
            for (size_t i = 0; i < held.PointCount(); ++i)
                tangents.push_back(held.Point(i).inTangent);
            held.SetInterpolation(EInterpolation(kind));
            for (size_t i = 0; i < held.PointCount(); ++i)
                ASSERT_EQ(held.Point(i).inTangent, tangents[i]) << kind << " at point " << i;
            std::vector<double> rising(inputs.size());
            appended.EvaluateRising(inputs.data(), inputs.size(), rising.data());
            for (size_t i = 0; i < inputs.size(); ++i)
                ASSERT_EQ(rising[i], added.Evaluate(inputs[i]))
                    << kind << "/" << ends << " at " << inputs[i];
        }
    }
}

constexpr uint32_t kSamples = 1024;

// The set read from the text, or none when it cannot be read.
CurveSetHolder ReadText(const std::string& text) {
    ScratchFolder scratch;
    scratch.Write("curves.lut", text);
    CurveSetHolder set(new CVxCurveSet());
    if (!set->Read(SystemLuts::Plain(), scratch.Drive("curves.lut").c_str(), nullptr, false))
        set.reset();
    return set;
}

// The 1024 samples the curve fallback takes, or none when reading or sampling fails.
std::vector<float> Samples(const std::string& text) {
    CurveSetHolder set = ReadText(text);
    std::vector<float> samples(kSamples * 4);
    if (!set || !set->Sample(kSamples, samples.data()))
        return {};
    return samples;
}

struct Conversion {
    double gammaDisplay = 2.2, gammaLog = 1.7;
    int black = 95, white = 685, softClip = 0;
};

// Output of the log-to-linear conversion at a 10-bit code, from its definition.
double ConversionAt(int code, const Conversion& p) {
    const double q = p.gammaLog / p.gammaDisplay;
    auto intensity = [q](double c) { return std::pow(std::pow(10.0, c / 300.0), q); };
    const double gain = 255.0 / (1.0 - intensity(p.black - p.white));
    const double offset = gain - 255.0;
    const int kneeCode = p.white - p.softClip;
    double value = intensity(code - p.white) * gain - offset;
    if (code > kneeCode) {
        const double knee = intensity(-p.softClip) * gain - offset;
        const double step = (255.0 - knee) / std::pow(5.0 * p.softClip, p.softClip / 100.0);
        value = std::pow(code - kneeCode, p.softClip / 100.0) * step + knee;
    }
    return std::min(255.0, std::max(0.0, std::trunc(value))) / 255.0;
}

std::string FourCurves(const std::string& curve) {
    return "Lookup(1, " + curve + ", " + curve + ", " + curve + ", " + curve + ")";
}

std::string Script(const std::string& body) {
    return "<VEXLANScript>\n" + body + "\n</VEXLANScript>\n";
}

std::string Ramp(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::to_string(i) + "\n";
    return text;
}

TEST(CurveSet, FormatsAcceptAndRefuseTexts) {
    const float third = 1.0f / 3.0f;
    struct Case {
        const char* name;
        std::string text;
        std::vector<Expected> samples; // none: reading or sampling fails
    } cases[] = {
        // Conversion settings.
        {"keys in any case with equals",
         "referencewhite=600\n\nGAMMALOG = 1.7\nSoftClip",
         {{600, 1, 1, 1}, {1023, 1, 1, 1}, {95, 0, 0, 0}}},
        {"bypass", "BypassLUT on", {{0, 0, 0, 0}, {341, third, third, third}, {1023, 1, 1, 1}}},
        {"unknown key", "Gamma 2.0", {}},
        {"unknown key after a known one", "ReferenceWhite 600\nFoo 1", {}},
        {"key without value", "ReferenceWhite", {}},
        {"white beyond 1023", "ReferenceWhite 1024", {}},
        {"negative gamma", "GammaDisplay -1", {}},
        {"bypass not a boolean", "BypassLUT maybe", {}},
        // Per-channel conversion settings.
        {"log10bit settings file",
         "<?xml version=\"1.0\" ?>\n<values><Log10Bit><BypassLUT>\"yes\"</BypassLUT>"
         "</Log10Bit></values>",
         {{341, third, third, third}}},
        {"log10bit value out of range", "<Log10Bit><SoftClipG>\"2000\"</SoftClipG></Log10Bit>", {}},
        {"log10bit unquoted value", "<Log10Bit><GammaLogR>1.7</GammaLogR></Log10Bit>", {}},
        {"no log10bit group", "<Other><GammaLogR>\"1.7\"</GammaLogR></Other>", {}},
        // Integer tables.
        {"ten-bit table",
         "LUT: 1 1024\n" + Ramp(1024),
         {{0, 0, 0, 0}, {511, 511 / 1023.0f, 511 / 1023.0f, 511 / 1023.0f}, {1023, 1, 1, 1}}},
        {"eight-bit table held flat above its end",
         "# a table\n#\nLUT: 3 4\n0\n100 # comment\n#skip\n200\n255\n0\n0\n0\n0\n"
         "255\n128\n64\n0\n",
         {{1, 100 / 255.0f, 0, 128 / 255.0f}, {3, 1, 0, 0}, {4, 1, 0, 0}, {900, 1, 0, 0}}},
        {"last channel copied", "lut:2:2\n0\n1023\n1023\n0\n", {{0, 0, 1, 1}, {1, 1, 0, 0}}},
        {"sixteen-bit table", "LUT: 1 2\n0\n65535\n", {{1, 1, 1, 1}}},
        {"four channels", "LUT: 4 2\n0\n0\n", {}},
        {"no entries", "LUT: 1 0\n", {}},
        {"1025 entries", "LUT: 1 1025\n" + Ramp(1025), {}},
        {"table cut short", "LUT: 1 2\n5\n", {}},
        {"table value beyond 16 bits", "LUT: 1 2\n5\n70000\n", {}},
        {"header of two tokens", "LUT 1\n5\n", {}},
        // Columns (256 lines, line k at k/255, are converted end to end).
        {"columns", "0 0 0\n128\t64\t255\n", {{0, 0, 0, 0}, {1023, 128 / 255.0f, 64 / 255.0f, 1}}},
        {"columns at 256 are ten-bit", "0 0 0\n256 0 0\n", {{1023, 256 / 1023.0f, 0, 0}}},
        {"columns at 1023 are ten-bit", "0 0 0\n1023 0 0\n", {{1023, 1, 0, 0}}},
        {"columns at 1024 are sixteen-bit", "0 0 0\n1024 0 0\n", {{1023, 1024 / 65535.0f, 0, 0}}},
        {"columns with blanks around, returns and long codes",
         " 0\t 0 0 \r\n  \n0000000128 64 000255\r\n",
         {{0, 0, 0, 0}, {1023, 128 / 255.0f, 64 / 255.0f, 1}}},
        {"column beyond sixteen bits", "0 0 0\n65536 0 0\n", {}},
        {"column with a sign", "0 0 0\n1 1 +1\n", {}},
        // Nothing that defines a curve: no black table.
        {"no lines at all", "", {}},
        {"blank lines", "\n  \n\t\n", {}},
        {"two columns", "0 0\n", {}},
        {"four columns", "0 0 0 0\n", {}},
        {"negative column", "0 0 -1\n", {}},
        // Curve expressions (their shapes are checked below).
        {"expressions", FourCurves("Linear(0, 0@0, 1@1)"), {{341, third, third, third}}},
        {"list never closed", FourCurves("Linear(0, 0@0, 1@1)").substr(0, 91), {}},
        {"commas missing", "Lookup(1 Linear(0 0@0 1@1))", {}},
        {"points without comma", FourCurves("Linear(0, 0@0 1@1)"), {}},
        {"parenthesis in a linear list", FourCurves("Linear(0, (0)@0)"), {}},
        {"nested Hermite triple", FourCurves("Hermite(0, ((0, 0, 0))@0)"), {}},
        {"Hermite pair", FourCurves("Hermite(0, (0, 0)@0)"), {}},
        {"value not a number", FourCurves("Linear(0, a@0)"), {}},
        {"extrapolation 5", FourCurves("Linear(5, 0@0)"), {}},
        {"unknown curve", FourCurves("Cubic(0, 0@0)"), {}},
        {"lookup in lower case", "l" + FourCurves("Linear(0, 0@0)").substr(1), {}},
        {"three curves", "Lookup(1, Linear(0, 0@0), Linear(0, 0@0), Linear(0, 0@0))", {}},
        {"no parenthesis after Lookup", "Lookup 1, Linear(0, 0@0)", {}},
        {"no points in red, green and blue",
         "Lookup(1, Linear(0, ), Step(0, ), CSpline(0, ), Linear(0, 0@0, 1@1))",
         {}},
        {"points in blue only",
         "Lookup(1, Linear(0, ), Step(0, ), Linear(0, 1@0), Linear(0, ))",
         {{0, 0, 0, 1}, {1023, 0, 0, 1}}},
        // Scripts.
        {"script",
         Script("red = in * 0.5;\ngreen = in;\nblue = 1 - in;"),
         {{0, 0, 0, 1}, {1023, 0.5f, 1, 0}, {341, third * 0.5f, third, 1 - third}}},
        {"script with the other tag and a comparison",
         "<vexlansscript>red = in < 0.5; green = in; blue = in;</VEXLANSSCRIPT>",
         {{0, 1, 0, 0}, {1023, 0, 1, 1}}},
        {"script never closed", "<VEXLANScript>\nred = 1; blue = in * in;\n", {{1023, 1, 0, 1}}},
        {"script that does not compile", Script("red = ;"), {}},
        {"empty script", Script("  "), {}},
        {"script that assigns no output", Script("x = in; // red = in;"), {}},
        {"script that assigns an output only at some inputs",
         Script("if (in > 0.9) { blue = 0; }"),
         {{0, 0, 0, 0}, {1023, 0, 0, 0}}},
        // A sample whose run stops keeps what the outputs hold at that point.
        {"script failing at some inputs",
         Script("red = in; if (in > 0.5) { green = 1 / 0; } blue = 0.5;"),
         {{0, 0, 0, 0.5f}, {1023, 1, 0, 0}}},
        // The samples share one budget: this takes 1.5e7 steps in all.
        {"script looping 15000 steps per sample",
         Script("i = 0; while (i < 5000) { i = i + 1; } red = in; green = in; blue = in;"),
         {{1023, 1, 1, 1}}},
        // Neither.
        {"plain words", "hello there\n", {}},
        {"binary", std::string("\x01\x02>\xff\xfe<\x00\x10 junk", 12), {}},
        {"a megabyte of digits", std::string(1 << 20, '7'), {}},
    };
    for (const Case& c : cases) {
        const std::vector<float> samples = Samples(c.text);
        ASSERT_EQ(samples.empty(), c.samples.empty()) << c.name;
        ExpectEntries(samples.data(), c.samples, c.name);
    }
}

TEST(CurveSet, ConversionCurvesFollowTheirDefinition) {
    auto all = [](Conversion c) { return std::array<Conversion, 3>{c, c, c}; };
    struct Case {
        const char* name;
        std::string text;
        std::array<Conversion, 3> channels;
    } cases[] = {
        {"defaults", "GammaDisplay 2.2", all({})},
        {"empty per-channel group", "<values><Log10Bit></Log10Bit></values>", all({})},
        {"white 600", "ReferenceWhite 600", all({2.2, 1.7, 95, 600})},
        {"soft clip", "SoftClip 40\nReferenceBlack 100\nGammaLog 1.5",
         all({2.2, 1.5, 100, 685, 40})},
        {"soft clip wider than white", "SoftClip 700\nReferenceWhite 600",
         all({2.2, 1.7, 95, 600, 700})},
        {"per channel",
         "<Log10Bit>\n<GammaDisplayR>\"1.0\"</GammaDisplayR>\n<SoftClipG>\"20\"</SoftClipG>\n"
         "<ReferenceWhiteB>\"900\"</ReferenceWhiteB><ReferenceBlackB>\"10\"</ReferenceBlackB>"
         "<Other>\"x\"</Other></Log10Bit>",
         {{{1.0, 1.7, 95, 685}, {2.2, 1.7, 95, 685, 20}, {2.2, 1.7, 10, 900}}}},
    };
    for (const Case& c : cases) {
        const std::vector<float> samples = Samples(c.text);
        ASSERT_EQ(samples.size(), kSamples * 4) << c.name;
        for (uint32_t i = 0; i < kSamples; ++i)
            for (int ch = 0; ch < 3; ++ch)
                ASSERT_NEAR(samples[i * 4 + ch], ConversionAt(int(i), c.channels[ch]), 1e-6)
                    << c.name << " channel " << ch << " at " << i;
    }
}

TEST(CurveSet, CurveExpressionsGiveKindsEndsAndTangents) {
    const double vertical = std::tan(100 * M_PI / 200);
    const CurveSetHolder splines = ReadText("x Lookup(1.0,\n cspline(0, 0@0, 0.5@0.4, 1@1),\n"
                                            " Linear(1, 0@0, 1@0.5),\n StepV(x, 2, 0@0, 1@0.5),\n"
                                            " JSpline(0, 0@0, 0.1@1, 10@2)) trailing text");
    const CurveSetHolder hermite =
        ReadText("Lookup(0, HERMITE(1, (0, 0, 50)@0, ( 1 , 50 , 150 )@1),"
                 " Hermite(0, (0,-150,-50)@0, (1, 0, 0)@1), CSpline(0, ),"
                 " NSplineV(, 0, 1@0.5))");
    ASSERT_TRUE(splines && hermite);
    using enum CVxCurveSet::EChannel;
    const CVxCurveSet *s = splines.get(), *h = hermite.get();
    struct Case {
        const CVxCurveSet* set;
        CVxCurveSet::EChannel channel;
        double x, expected;
    } cases[] = {{s, eRed, 0.4, 0.5},    {s, eRed, 2.0, 1.0},      {s, eRed, -1.0, 0.0},
                 {s, eGreen, 0.25, 0.5}, {s, eBlue, 0.25, 0.0},    {s, eBlue, 0.5, 1.0},
                 {s, eBlue, 0.75, 0.0},  {s, eMaster, 0.5, 0.025}, {h, eRed, 0.5, 0.5},
                 {h, eRed, 2.0, 2.0},    {h, eGreen, 0.5, 0.375},  {h, eBlue, 0.5, 0.0},
                 {h, eMaster, 7.0, 1.0}};
    for (const Case& c : cases)
        EXPECT_NEAR(c.set->Curve(c.channel)->Evaluate(c.x), c.expected, 1e-12)
            << int(c.channel) << " at " << c.x;
    const CVxCurve &red = *h->Curve(eRed), &green = *h->Curve(eGreen);
    EXPECT_NEAR(red.Point(0).outTangent, 1.0, 1e-12);
    EXPECT_NEAR(red.Point(1).inTangent, 1.0, 1e-12);
    EXPECT_EQ(red.Point(1).outTangent, vertical);
    EXPECT_EQ(green.Point(0).inTangent, -vertical);
    EXPECT_EQ(h->Curve(eMaster)->Extrapolation(), CVxCurve::EExtrapolation::eHoldEnds);
}

TEST(CurveSet, ErrorTexts) {
    ScratchFolder scratch;
    const struct {
        std::string path;
        int failingAllocations;
        std::string error;
    } cases[] = {
        {scratch.Drive("missing.lut"), 0, "file not found."},
        {scratch.Write("words.lut", "hello there\n"), 0, "unknown format."},
        {scratch.Write("columns.lut", "0 0 0\n255 255 255\n"), 1, "out of memory."},
    };
    for (const auto& c : cases) {
        CurveSetHolder set(new CVxCurveSet());
        FrameworkError error;
        g_failingNothrowAllocations = c.failingAllocations;
        EXPECT_FALSE(set->Read(SystemLuts::Plain(), c.path.c_str(), &error, false)) << c.error;
        g_failingNothrowAllocations = 0;
        EXPECT_EQ(error.severity, 2) << c.error;
        EXPECT_EQ(error.message.c_str(),
                  "Lookup table \"" + c.path + "\" could not be loaded: " + c.error);
    }
}

// The program loads every LUT for any dimension with the curve fallback on.
TEST(LutLoad, CurveFilesFallBackToA1024EntryTable) {
    ScratchFolder scratch;
    // Three channels that differ, so that a channel mix-up shows; the first field is never read.
    const std::string curves = "Lookup(curves, Linear(0, 0@0, 1@1), Linear(0, 1@0, 0@1), "
                               "Linear(0, 0.2@0, 0.8@1), Linear(0, 0@0, 1@1))\n";
    const std::string failing = Script("while (1) { red = in; }");
    CVxLUT lut;
    ASSERT_TRUE(lut.Load(SystemLuts::Plain(), scratch.Write("curves.lut", curves).c_str(), false,
                         kAny, true));
    ASSERT_FALSE(lut.m_is3D);
    EXPECT_EQ(std::vector<float>(lut.m_data, lut.m_data + lut.FloatCount()), Samples(curves));
    // A set that reads but cannot be sampled (a script that runs forever) loads nothing.
    EXPECT_FALSE(lut.Load(SystemLuts::Plain(), scratch.Write("failing.lut", failing).c_str(), false,
                          kAny, true));
    EXPECT_EQ(lut.m_size, 0u);
}

} // namespace
