#include "foundation/name_table.h"
#include "look/look_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A grading read from a look whose base sublayer 0 holds the given parameters.
bool ReadGrading(CVxGradingParamStorage& grading, const std::string& base,
                 const std::string& extra = "") {
    std::string text = "<look><shaders>" + extra + "<base>" + base + "</base></shaders></look>";
    std::unique_ptr<CVxShapeMask> mask;
    uint32_t size = 0;
    return ReadLookText(grading, CVxString(text.c_str()), mask, size);
}

std::string Sublayer0(const std::string& params) {
    return "<sublayer0><parameters>" + params + "</parameters></sublayer0>";
}

TEST(ShaderParams, NamesAreNormalisedAndFoundCaseBlind) {
    struct Case {
        const char* name;
        const char* normalised;
    };
    const Case cases[] = {
        {"gain.r", "gain.X"}, {"gain.x", "gain.X"},    {"a.b", "a.Z"},
        {".b", ".b"},         {"a.q", "a.q"},          {"MiddleHLS1.h", "MiddleHLS1.X"},
        {"Pos.l", "Pos.Y"},   {"Pos.s", "Pos.Z"},      {"v.a", "v.W"},
        {"v.w", "v.W"},       {"v.W", "v.W"},          {"ab", "ab"},
        {"x", "x"},           {"Gain.X.r", "Gain.X.X"}};
    for (const Case& c : cases) {
        CVxString name(c.name);
        NormaliseParamName(name);
        EXPECT_EQ(name, c.normalised) << c.name;
    }

    CVxShaderParamStorage layer;
    layer.SetNumber(CVxString("gain.r"), 1);
    layer.SetNumber(CVxString("Pivot"), 0.123456789);
    layer.SetText(CVxString("BaseLUT"), CVxString("a.cube"));
    ASSERT_NE(layer.Find("GAIN.X"), nullptr);
    EXPECT_EQ(layer.Find("GAIN.X")->Name, "gain.X");
    EXPECT_EQ(layer.Find("pivot")->GetText(), "0.12346");
    EXPECT_EQ(layer.Find("baselut")->GetDouble(7), 7);
    layer.SetText(CVxString("GAIN.r"), CVxString("2.5"));
    EXPECT_EQ(layer.ParamCount(), 3u);
    EXPECT_EQ(layer.Find("gain.x")->GetDouble(0), 2.5);
    EXPECT_EQ(layer.Find(""), nullptr);
}

// Parameters are written in this order.
TEST(ShaderParams, IterationFollowsTheNameHash) {
    CVxShaderParamStorage layer;
    const char* names[] = {"Saturation", "Gain.X",  "Gain.Y", "Gain.Z", "Offset.X", "Contrast",
                           "Pivot",      "BaseLUT", "a",      "bc",     "MatrixLUT"};
    for (const char* name : names)
        layer.SetNumber(CVxString(name), 1);
    ASSERT_EQ(layer.ParamCount(), 11u);
    for (uint32_t i = 1; i < layer.ParamCount(); ++i)
        EXPECT_LE(NameHash(layer.GetParam(i - 1)->Name), NameHash(layer.GetParam(i)->Name));
}

TEST(GradingParams, DefaultsAndPerChannelTests) {
    struct Case {
        std::string base;
        std::string extra;
        bool perChannel;
        bool perChannelIgnoringLuts;
    };
    const std::string blur = "<shader><name>\"Blur\"</name></shader>";
    const Case cases[] = {
        {Sublayer0("<Gain.X>\"1\"</Gain.X>"), "", true, true},
        {Sublayer0("<Gain.X>\"1\"</Gain.X><GainLow.X>\"0.2\"</GainLow.X>"), "", false, false},
        {Sublayer0("<SaturationLMH.Y>\"1\"</SaturationLMH.Y>"), "", false, false},
        {Sublayer0("<ContrastHigh>\"1\"</ContrastHigh>"), "", false, false},
        {Sublayer0("<GainLow.5>\"1\"</GainLow.5>"), "", true, true},
        {Sublayer0("<GrayOutLow>\"1\"</GrayOutLow>"), "", true, true},
        {Sublayer0("<OffsetMid.Z>\"N0.1\"</OffsetMid.Z>"), "", true, true},
        {Sublayer0("<BaseLUT>\"a.cube\"</BaseLUT>"), "", false, true},
        {Sublayer0("<BaseLUT>\"*\"</BaseLUT><MatrixLUT>\"\"</MatrixLUT>"), "", true, true},
        {Sublayer0("<matrixR.X>\"1\"</matrixR.X><matrixG.Y>\"1\"</matrixG.Y>"
                   "<matrixR.Y>\"0\"</matrixR.Y>"),
         "", true, true},
        {Sublayer0("<matrixR.Y>\"0.5\"</matrixR.Y>"), "", false, true},
        {Sublayer0("<matrixB.Z>\"0\"</matrixB.Z>"), "", false, true},
        {Sublayer0("<Saturation>\"1\"</Saturation>"), "", true, true},
        {Sublayer0("<Saturation>\"1.5\"</Saturation>"), "", false, false},
        {Sublayer0("<Gain.X>\"1\"</Gain.X>"), blur, false, false},
        {"<sublayer3><opacity>\"0.5\"</opacity></sublayer3>", "", true, true},
        {"<sublayer3><parameters><Gain.X>\"1\"</Gain.X></parameters></sublayer3>", "", false,
         false},
        {"<sublayer3><parameters><GrayOut3>\"1\"</GrayOut3><Secondary>\"1\"</Secondary>"
         "</parameters></sublayer3>",
         "", true, true},
        {"<sublayer11><visible>\"0\"</visible><parameters><Gain.X>\"1\"</Gain.X></parameters>"
         "</sublayer11>",
         "", false, false},
        {"<visible>\"0\"</visible><sublayer11><parameters><Gain.X>\"1\"</Gain.X></parameters>"
         "</sublayer11>",
         "", true, true},
    };
    for (const Case& c : cases) {
        CVxGradingParamStorage grading;
        ASSERT_TRUE(ReadGrading(grading, c.base, c.extra)) << c.base;
        EXPECT_EQ(grading.IsPerChannelOnly(false), c.perChannel) << c.base << c.extra;
        EXPECT_EQ(grading.IsPerChannelOnly(true), c.perChannelIgnoringLuts) << c.base << c.extra;
    }

    CVxGradingParamStorage textMatrix;
    ASSERT_TRUE(ReadGrading(textMatrix, Sublayer0("")));
    textMatrix.BaseSublayer(0)->SetText(CVxString("matrixR.Y"), CVxString("0.5"));
    EXPECT_TRUE(textMatrix.IsPerChannelOnly(false));

    EXPECT_TRUE(CVxGradingParamStorage().IsPerChannelOnly(false));

    CVxShaderParamStorage layer;
    layer.SetName(CVxString("vexlan.base.1"));
    layer.SetNumber(CVxString("Gain.X"), 1, "1.0000000001");
    layer.SetText(CVxString("Mode"), CVxString("LINEAR"), "linear");
    layer.SetText(CVxString("BaseLUT"), CVxString(""));
    layer.SetNumber(CVxString("Middle.X"), 5, "N0.0");
    layer.SetNumber(CVxString("NeutralGray"), 5);
    EXPECT_FALSE(layer.IsAtDefaults(false));
    EXPECT_TRUE(layer.IsAtDefaults(true));
    EXPECT_TRUE(layer.HasNoEffect(true));
    layer.SetNumber(CVxString("Gain.X"), 1.1);
    EXPECT_FALSE(layer.HasNoEffect(true));
    layer.SetVisible(false);
    EXPECT_TRUE(layer.HasNoEffect(true));
    layer.SetVisible(true);
    layer.SetName(CVxString("NOOP"));
    EXPECT_TRUE(layer.HasNoEffect(true));
}

TEST(GradingParams, OldBasesGainTheSecondaryDefaultsOfRangeVersionTwo) {
    const std::string params = Sublayer0("<RangeHLS2.X>\"0.3\"</RangeHLS2.X>"
                                         "<RangeHLS4.Y>\"0\"</RangeHLS4.Y>"
                                         "<ToleranceHLS4.Y>\"N7\"</ToleranceHLS4.Y>"
                                         "<ToleranceHLS4.Z>\"2\"</ToleranceHLS4.Z>");
    CVxGradingParamStorage old;
    ASSERT_TRUE(ReadGrading(old, params));
    const CVxShaderParamStorage& layer = *old.BaseSublayer(0);
    struct Expectation {
        const char* name;
        bool present;
        double value;
        const char* defaultText;
    };
    const Expectation expectations[] = {
        {"ToleranceHLS2.X", true, 15, "N0.0"}, {"MiddleHLS2.X", true, 0, "N180.0"},
        {"MiddleHLS2.Y", true, 0, "N0.5"},     {"MiddleHLS2.Z", true, 0, "N0.5"},
        {"ToleranceHLS2.Y", false, 0, ""},     {"ToleranceHLS4.Y", true, 0, "N0.0"},
        {"ToleranceHLS4.Z", true, 0, "N0.0"},  {"MiddleHLS4.X", true, 0, "N180.0"},
        {"MiddleHLS1.X", false, 0, ""},        {"ToleranceHLS4.X", false, 0, ""},
    };
    for (const Expectation& e : expectations) {
        const CVxShaderParam* param = layer.Find(e.name);
        ASSERT_EQ(param != nullptr, e.present) << e.name;
        if (!param)
            continue;
        EXPECT_EQ(param->GetDouble(-1), e.value) << e.name;
        EXPECT_EQ(param->Default, e.defaultText) << e.name;
    }
    EXPECT_EQ(old.BaseSublayer(1)->ParamCount(), 0u);

    CVxGradingParamStorage current;
    ASSERT_TRUE(ReadGrading(current, "<rangeversion>\"2\"</rangeversion>" + params));
    EXPECT_EQ(current.BaseSublayer(0)->ParamCount(), 4u);
    EXPECT_EQ(current.BaseSublayer(0)->Find("ToleranceHLS4.Z")->dValue, 2);
}

TEST(GradingParams, LayersAreAddedAboveTheBase) {
    CVxGradingParamStorage grading;
    ASSERT_TRUE(ReadGrading(grading, Sublayer0("<Gain.X>\"1\"</Gain.X>"),
                            "<shader><name>\"Below\"</name></shader>"));
    CVxShaderParamStorage* above = new CVxShaderParamStorage();
    above->SetName(CVxString("Above"));
    EXPECT_EQ(grading.AddLayer(above), 2u);
    EXPECT_EQ(grading.LayerCount(), 3u);
    EXPECT_EQ(grading.Layer(2), above);
    EXPECT_EQ(grading.Layer(1), grading.BaseSublayer(0));
    EXPECT_EQ(grading.Layer(3), nullptr);
    EXPECT_EQ(std::string(grading.Name().c_str()).rfind("*grading", 0), 0u);
}

} // namespace
