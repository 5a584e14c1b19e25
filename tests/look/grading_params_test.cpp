#include "look_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "name=value/default" for each parameter of a layer, in its order.
std::vector<std::string> Listing(const CVxShaderParamStorage& layer) {
    std::vector<std::string> listing;
    for (uint32_t i = 0; i < layer.ParamCount(); ++i) {
        const CVxShaderParam& param = *layer.GetParam(i);
        listing.push_back(std::string(param.Name.c_str()) + "=" + param.GetText().c_str() + "/" +
                          param.Default.c_str());
    }
    return listing;
}

TEST(ShaderParams, NamesAreNormalisedAndFoundCaseBlind) {
    const struct {
        const char* name;
        const char* normalised;
    } cases[] = {{"gain.r", "gain.X"}, {"gain.x", "gain.X"},    {"a.b", "a.Z"},
                 {".b", ".b"},         {"a.q", "a.q"},          {"MiddleHLS1.h", "MiddleHLS1.X"},
                 {"Pos.l", "Pos.Y"},   {"Pos.s", "Pos.Z"},      {"v.a", "v.W"},
                 {"v.w", "v.W"},       {"v.W", "v.W"},          {"ab", "ab"},
                 {"x", "x"},           {"Gain.X.r", "Gain.X.X"}};
    for (const auto& c : cases) {
        CVxString name(c.name);
        NormaliseParamName(name);
        EXPECT_EQ(name, c.normalised) << c.name;
    }

    CVxShaderParamStorage layer;
    layer.SetNumber(CVxString("gain.r"), 1);
    layer.SetNumber(CVxString("Pivot"), 0.123456789);
    layer.SetText(CVxString("BaseLUT"), CVxString("a.cube"));
    layer.SetText(CVxString("GAIN.r"), CVxString("2.5"));
    EXPECT_EQ(Listing(layer),
              (std::vector<std::string>{"BaseLUT=a.cube/", "Pivot=0.12346/", "gain.X=2.5/"}));
    EXPECT_EQ(layer.Find("GAIN.X")->GetDouble(0), 2.5);
    EXPECT_EQ(layer.Find("baselut")->GetDouble(7), 7);
    EXPECT_EQ(layer.Find(""), nullptr);
}

TEST(GradingParams, DefaultsAndPerChannelTests) {
    // The contents of a base, grouped by what they give.
    const struct {
        bool perChannel;
        bool perChannelIgnoringLuts;
        std::vector<std::string> bases;
    } groups[] = {
        {true,
         true,
         {Sublayer(0, "Gain.X=1"), Sublayer(0, "GainLow.5=1"), Sublayer(0, "GrayOutLow=1"),
          Sublayer(0, "OffsetMid.Z=N0.1"), Sublayer(0, "BaseLUT=* MatrixLUT="),
          Sublayer(0, "matrixR.X=1 matrixG.Y=1 matrixR.Y=0"), Sublayer(0, "Saturation=1"),
          Sublayer(3, "", "<opacity>\"0.5\"</opacity>"), Sublayer(3, "GrayOut3=1 Secondary=1"),
          Sublayer(0, "RangeHLS1.X=40 Gain2.X=0 Saturation123=1 Gain1.X=N2"),
          "<visible>\"0\"</visible>" + Sublayer(11, "Gain.X=1")}},
        {false,
         false,
         {Sublayer(0, "Gain.X=1 GainLow.X=0.2"), Sublayer(0, "SaturationLMH.Y=1"),
          Sublayer(0, "ContrastHigh=1"), Sublayer(0, "Saturation=1.5"), Sublayer(3, "Gain.X=1"),
          Sublayer(0, "Gain1.Y=0.5"), Sublayer(0, "overall6=-1"),
          Sublayer(0, "Saturation456.Z=0.5"), Sublayer(0, "Offset3=0,0.1,0"),
          Sublayer(11, "Gain.X=1", "<visible>\"0\"</visible>")}},
        {false,
         true,
         {Sublayer(0, "BaseLUT=a.cube"), Sublayer(0, "matrixR.Y=0.5"), Sublayer(0, "matrixB.Z=0"),
          Sublayer(0, "MatrixLUT=N")}},
    };
    for (const auto& group : groups)
        for (const std::string& base : group.bases) {
            ReadLook look(Base(base));
            ASSERT_TRUE(look.ok) << base;
            EXPECT_EQ(look.grading.IsPerChannelOnly(false), group.perChannel) << base;
            EXPECT_EQ(look.grading.IsPerChannelOnly(true), group.perChannelIgnoringLuts) << base;
        }

    // A blur layer besides the base is more than a per-channel change.
    ReadLook blurred(Base(Sublayer(0, "Gain.X=1"), "<shader><name>\"Blur\"</name></shader>"));
    EXPECT_FALSE(blurred.grading.IsPerChannelOnly(false) || blurred.grading.IsPerChannelOnly(true));

    ReadLook textMatrix(Base(Sublayer(0, "")));
    textMatrix.grading.BaseSublayer(0)->SetText(CVxString("matrixR.Y"), CVxString("0.5"));
    EXPECT_TRUE(textMatrix.grading.IsPerChannelOnly(false));

    EXPECT_TRUE(CVxGradingParamStorage().IsPerChannelOnly(false));

    // A LUT file's whole name, N and all, is the base's value: no marker, no default.
    ReadLook night(Base(Sublayer(0, "BaseLUT=Night.cube")));
    EXPECT_EQ(night.grading.BaseSublayer(0)->Find("BaseLUT")->Dump(),
              "Name=\"BaseLUT\" Value=\"Night.cube\" IsDouble=0 dValue=0 | Default=\"\" "
              "IsDefaultDouble=0 dDefault=0");
    EXPECT_FALSE(night.grading.BaseSublayer(0)->HasNoEffect(true));

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

// Secondaries 2 and 4 gain the defaults of their missing parameters, and lose
// what was read of those that range version 2 defaults.
TEST(GradingParams, OldBasesGainTheSecondaryDefaultsOfRangeVersionTwo) {
    const std::string params =
        Sublayer(0, "RangeHLS2.X=0.3 RangeHLS4.Y=0 ToleranceHLS4.Y=N7 ToleranceHLS4.Z=2");
    ReadLook old(Base(params));
    ASSERT_TRUE(old.ok);
    EXPECT_EQ(Listing(*old.grading.BaseSublayer(0)),
              (std::vector<std::string>{
                  "RangeHLS2.X=0.3/", "MiddleHLS4.X=0/N180.0", "MiddleHLS2.X=0/N180.0",
                  "ToleranceHLS4.Z=0/N0.0", "MiddleHLS2.Y=0/N0.5", "MiddleHLS4.Y=0/N0.5",
                  "RangeHLS4.Y=0/", "ToleranceHLS2.X=15/N0.0", "ToleranceHLS4.Y=0/N0.0",
                  "MiddleHLS2.Z=0/N0.5", "MiddleHLS4.Z=0/N0.5"}));
    EXPECT_EQ(old.grading.BaseSublayer(1)->ParamCount(), 0u);

    ReadLook current(Base("<rangeversion>\"2\"</rangeversion>" + params));
    ASSERT_TRUE(current.ok);
    EXPECT_EQ(Listing(*current.grading.BaseSublayer(0)),
              (std::vector<std::string>{"RangeHLS2.X=0.3/", "ToleranceHLS4.Z=2/", "RangeHLS4.Y=0/",
                                        "ToleranceHLS4.Y=7/N"}));
}

TEST(GradingParams, LayersAreAddedAboveTheBase) {
    ReadLook look(Base(Sublayer(0, "Gain.X=1"), "<shader><name>\"Below\"</name></shader>"));
    ASSERT_TRUE(look.ok);
    CVxGradingParamStorage& grading = look.grading;
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
