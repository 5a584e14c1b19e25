#include "look/look_elements.h"
#include "look/look_reader.h"
#include "look/look_writer.h"

#include "../support/look_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A look read from its text, with all that the reader reports.
struct ReadLook {
    CVxGradingParamStorage grading;
    std::unique_ptr<CVxShapeMask> mask;
    uint32_t size = 0;
    bool ok = false;

    explicit ReadLook(const std::string& text) {
        ok = ReadLookText(grading, CVxString(text.c_str(), text.size()), mask, size);
    }
};

std::string Shaders(const std::string& body) {
    return "<look><shaders>" + body + "</shaders></look>";
}

// A look whose base holds the given elements, after the layers given before it.
std::string Base(const std::string& elements, const std::string& before = "") {
    return Shaders(before + "<base>" + elements + "</base>");
}

// Sublayer n with the elements given, then its parameters given as
// "Name=value Name=value" (no parameters element when there are none).
std::string Sublayer(int n, const std::string& params, const std::string& elements = "") {
    const std::string tag = "sublayer" + std::to_string(n);
    std::string list;
    std::istringstream words(params);
    for (std::string word; words >> word;) {
        const std::string name = word.substr(0, word.find('='));
        list += "<" + name + ">\"" + word.substr(name.size() + 1) + "\"</" + name + ">";
    }
    if (!list.empty())
        list = "<parameters>" + list + "</parameters>";
    return "<" + tag + ">" + elements + list + "</" + tag + ">";
}

TEST(LookReader, AcceptsAndRejectsDocuments) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<x>";
    const struct {
        std::string text;
        bool ok;
        uint32_t size;
        uint32_t layers;
    } cases[] = {
        {"<look></look>", false, 0, 0},
        {"<look>\"v\"</look>", false, 0, 0},
        {"", false, 0, 0},
        {"<look><foo>\"1\"</foo></look>", true, 0, 0},
        {"<look><LUT><size>\"33\"</size><data>\"00\"</data></LUT></look>", true, 33, 0},
        {"<look><lut><size>\"33x\"</size></lut></look>", true, 0, 0},
        {"<look><LUT1D><size>\"256\"</size></LUT1D><ASC><slope>\"1\"</slope></ASC></look>", true, 0,
         0},
        // Sublayers in rising order, each once; a base needs at least one child.
        {Base("<sublayer2></sublayer2><sublayer1></sublayer1>"), false, 0, 1},
        {Base("<sublayer1></sublayer1><sublayer1></sublayer1>"), false, 0, 1},
        {Base(""), false, 0, 0},
        {Base("<sublayer12></sublayer12><sublayer5x></sublayer5x>"), true, 0, 1},
        {Shaders("<base><visible>\"1\"</visible></base><base><visible>\"1\"</visible></base>"),
         true, 0, 13},
        {Base("<sublayer5><opacity>\"0.5\"</opacity></sublayer5>"), true, 0, 1},
        {Shaders("<shader><visible>\"1\"</visible></shader>"), true, 0, 0},
        {Base("<x>\"1\"</x>", "<shader><name>\"Blur\"</name><zz><q>\"1\"</q></zz></shader>"), true,
         0, 2},
        {"<look><shaders><base><x>\"1\"</x>", false, 0, 0},
        {"<look><shaders></look>", false, 0, 0},
        {"<look>" + deep, false, 0, 0},
    };
    for (const auto& c : cases) {
        ReadLook look(c.text);
        EXPECT_EQ(look.ok, c.ok) << c.text.substr(0, 200);
        EXPECT_EQ(look.size, c.size) << c.text.substr(0, 200);
        if (c.ok) {
            EXPECT_EQ(look.grading.LayerCount(), c.layers) << c.text.substr(0, 200);
        }
    }
}

TEST(LookReader, BaseSublayersShaderFieldsAndFlags) {
    ReadLook look(Shaders(
        "<shader>\n  <NAME>\"Blur.Shader\"</NAME>\n  <visible>\"off\"</visible>\n"
        "  <opacity>\"0.3\"</opacity>\n  <mask>\"2\"</mask>\n  <vectormask>\"3\"</vectormask>\n"
        "  <parameters><Radius>\"N2.5\"</Radius><File>\"a.cube\"</File><ab>\"0,0,0\"</ab>"
        "</parameters>\n</shader>\n<base><visible>\"no\"</visible>" +
        Sublayer(5, "Gain.r=1", "<name>\"x\"</name><mask>\"0\"</mask>") +
        "</base>\n<GRADING1D>\"yes\"</GRADING1D>\n"));
    ASSERT_TRUE(look.ok);
    const CVxGradingParamStorage& grading = look.grading;
    EXPECT_TRUE(grading.IsOneDimensional());
    ASSERT_EQ(grading.LayerCount(), 2u);
    ASSERT_EQ(grading.ArrayCount(), 13u);
    EXPECT_EQ(grading.BaseIndex(), 1u);

    // The fields as read show in the element written back below; a marker keeps its number.
    const CVxShaderParamStorage& shader = *grading.Layer(0);
    const CVxShaderParam* radius = shader.Find("radius");
    ASSERT_NE(radius, nullptr);
    EXPECT_TRUE(radius->IsDouble);
    EXPECT_EQ(radius->dValue, 2.5);

    for (uint32_t k = 0; k < 12; ++k) {
        const CVxShaderParamStorage& sublayer = *grading.BaseSublayer(k);
        EXPECT_EQ(sublayer.Name(), "VEXLAN.Base.1") << k;
        EXPECT_EQ(sublayer.Mask(), k < 9 ? k / 3 : 0u) << k;
        EXPECT_EQ(sublayer.VectorMask(), k % 3) << k;
        EXPECT_FALSE(sublayer.Visible()) << k;
        EXPECT_EQ(sublayer.ParamCount(), k == 5 ? 1u : 0u) << k;
    }
    EXPECT_EQ(grading.BaseSublayer(5)->Find("GAIN.X")->Name, "Gain.X");

    CVxString written;
    WriteShaderElement(written, shader, 4);
    EXPECT_STREQ(written.c_str(),
                 "    <shader>\n      <name>\"Blur.Shader\"</name>\n"
                 "      <visible>\"0\"</visible>\n      <opacity>\"0.300000011920929\"</opacity>\n"
                 "      <mask>\"2\"</mask>\n      <vectormask>\"0\"</vectormask>\n"
                 "      <parameters>\n        <Radius>\"N2.5\"</Radius>\n"
                 "        <File>\"a.cube\"</File>\n        <ab>\"0,0,0\"</ab>\n"
                 "      </parameters>\n    </shader>\n");
}

TEST(LookReader, BaseRoundTripWritesOnlyWhatDiffers) {
    const std::string params = "BaseLUT= Gain.X=0.123456789 GrayOut1=1 Tolerance.X=N0.0 "
                               "Middle.X=N0.25 Flag=N";
    ReadLook look(Base("<rangeversion>\"2\"</rangeversion>" +
                       Sublayer(0, params, "<opacity>\"1\"</opacity>") +
                       Sublayer(3, "", "<opacity>\"0.5\"</opacity>")));
    ASSERT_TRUE(look.ok);
    look.grading.BaseSublayer(0)->Find("Middle.X")->SetDefault(CVxString("N0.25"));

    CVxString written;
    WriteGradingLayers(written, look.grading, 4);
    EXPECT_STREQ(written.c_str(),
                 "    <base>\n      <rangeversion>\"2\"</rangeversion>\n"
                 "      <visible>\"1\"</visible>\n      <sublayer0>\n"
                 "        <opacity>\"1\"</opacity>\n        <parameters>\n"
                 "          <Flag>\"N\"</Flag>\n          <Tolerance.X>\"N0\"</Tolerance.X>\n"
                 "          <Gain.X>\"0.12346\"</Gain.X>\n        </parameters>\n"
                 "      </sublayer0>\n      <sublayer3>\n        <opacity>\"0.5\"</opacity>\n"
                 "      </sublayer3>\n    </base>\n");
}

TEST(LookReader, ShapeMaskIsKeptAsReadAndWrittenInStaticForm) {
    const std::string point =
        "<point><inner>\"catmull-rom,value:0.25,0.75@0\"</inner>"
        "<falloffweight>\"catmull-rom,value:0.5@0\"</falloffweight>"
        "<detached>linear,value:1@0</detached><smooth>\"linear,value:1@0\"</smooth>"
        "<unknown>\"x\"</unknown></point>";
    struct Case {
        std::string body;
        bool hasMask;
        uint32_t active;
    } cases[] = {
        {"<name>\"m\"</name><width>\"1920\"</width>", false, 0},
        {"<contour><positive>\"1\"</positive></contour>", false, 0},
        {"<contour>" + point + "</contour><activecontour>\"7\"</activecontour>", true, 0},
        {"<contour>" + point + "</contour><contour>" + point + "</contour>", true, 0},
        {"<activecontour>\"4294967295\"</activecontour><contour>" + point +
             "</contour><contour><positive>\"0\"</positive></contour>",
         true, 1},
        {"<contour><point><inner>\"bogus\"</inner></point></contour>", false, 0},
        {"<contour><nextset>\"10\"</nextset></contour>", true, 0},
    };
    for (const auto& c : cases) {
        ReadLook look("<look><mask>" + c.body + "</mask></look>");
        ASSERT_TRUE(look.ok) << c.body;
        EXPECT_EQ(look.mask != nullptr, c.hasMask) << c.body;
        EXPECT_EQ(look.mask ? look.mask->m_activeContour : 0, c.active) << c.body;
    }

    ReadLook look("<look><mask><contour><positive>\"0\"</positive>" + point +
                  "</contour><name>\"Shape 1\"</name><height>\"1080\"</height>"
                  "<width>\"1920.5\"</width></mask></look>");
    ASSERT_TRUE(look.mask);
    CVxString written;
    look.mask->WriteElement(written, 2);
    EXPECT_STREQ(written.c_str(),
                 "  <mask>\n    <name>\"Shape 1\"</name>\n"
                 "    <activecontour>\"0\"</activecontour>\n    <width>\"1920.5\"</width>\n"
                 "    <height>\"1080\"</height>\n    <contour>\n      <positive>\"0\"</positive>\n"
                 "      <point>\n        <inner>\"catmull-rom,value:0.25,0.75@0\"</inner>\n"
                 "        <innerprevtangent>\"catmull-rom,value:0,0@0\"</innerprevtangent>\n"
                 "        <innernexttangent>\"catmull-rom,value:0,0@0\"</innernexttangent>\n"
                 "        <falloffexponent>\"catmull-rom,value:0@0\"</falloffexponent>\n"
                 "        <falloffweight>\"catmull-rom,value:0.5@0\"</falloffweight>\n"
                 "        <detached>linear,value:1@0</detached>\n"
                 "        <outer>\"catmull-rom,value:0,0@0\"</outer>\n"
                 "        <outerprevtangent>\"catmull-rom,value:0,0@0\"</outerprevtangent>\n"
                 "        <outernexttangent>\"catmull-rom,value:0,0@0\"</outernexttangent>\n"
                 "        <spline>\"linear,value:0@0\"</spline>\n"
                 "        <smooth>\"linear,value:1@0\"</smooth>\n      </point>\n    </contour>\n"
                 "  </mask>\n");

    EXPECT_FALSE(ReadLook("<look><mask><contour>" + point + "</contour></mask><x>").mask);
}

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

const std::string kPoint = "<point><inner>\"catmull-rom,value:0.25,0.75@0\"</inner></point>";

std::vector<float> Ramp(size_t entries) {
    std::vector<float> values(entries * 3);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<float>(i) * 0.001f - 1.0f;
    return values;
}

TEST(LookWriter, ExtractsTheCdlOfPerChannelGradings) {
    const struct {
        std::string look;
        const char* expected; // slope, offset, power; empty when there is no CDL
    } cases[] = {
        {Shaders(""), "1,1,1 0,0,0 1,1,1"},
        {Base(Sublayer(0, "Gain.X=1")), "2,1,1 0,0,0 1,1,1"},
        {Base(Sublayer(0, "Contrast=1 ContrastRange=0 Pivot=0.25")),
         "2,2,2 -0.25,-0.25,-0.25 1,1,1"},
        {Base(Sublayer(0, "Temperature=1 Magenta=2")), "4,0.25,1 0,0,0 1,1,1"},
        {Base(Sublayer(0, "GainRange=2 Overall=0.5 Offset.g=0.25")), "2,2,2 0,0.5,0 1,1,1"},
        {Base(Sublayer(0, "PrinterLights.r=1 PrinterLights.b=-1")), "2,1,0.5 0,0,0 1,1,1"},
        {Base(Sublayer(0, "GammaRange=0.5 Gamma.X=1 Gamma.Y=-1 Gamma.Z=2")),
         "1,1,1 0,0,0 0.5,2,0.25"},
        {Base(Sublayer(0, "Saturation=2")), ""},
        {Base(Sublayer(0, "BaseLUT=a.cube")), ""},
        {Shaders("<shader><name>\"Blur\"</name></shader><base><visible>\"1\"</visible></base>"),
         ""},
    };
    for (const auto& c : cases) {
        ReadLook look(c.look);
        ASSERT_TRUE(look.ok) << c.look;
        double s[3], o[3], p[3];
        char text[200] = "";
        if (ExtractCdl(look.grading, s, o, p))
            std::snprintf(text, sizeof text, "%g,%g,%g %g,%g,%g %g,%g,%g", s[0], s[1], s[2], o[0],
                          o[1], o[2], p[0], p[1], p[2]);
        EXPECT_STREQ(text, c.expected) << c.look;
    }
}

// The 256-entry ramp is compared in the rebuilt documents of the command-line
// tests. Size 3 leaves 4 bytes on the last line; size 64 takes several chunks,
// encoded while the last is taken.
TEST(LookWriter, LutElementsHaveTheirExactLengthAndBytes) {
    for (uint32_t size : {3u, 64u}) {
        const size_t entries = size_t(size) * size * size;
        const std::vector<float> data = Ramp(entries);
        CVxString out("x");
        StringSink sink(out);
        ASSERT_TRUE(WriteLutElement(sink, "LUT", size, data.data(), entries));
        EXPECT_TRUE(std::string(out.View()) == "x" + LutElement("LUT", size, data)) << size;
        EXPECT_EQ(LutElementLength("LUT", size, entries) + 1, out.Length());
    }
}

TEST(LookWriter, RefusesWhatWouldNotReadBackTheSame) {
    const struct {
        const char* name;
        const char* text;
        const char* defaultText;
        bool ok;
    } cases[] = {
        {"Mode", "Normal", "N", true},
        {"BaseLUT", "a\"b.cube", nullptr, false},
        {"a b", "1", nullptr, false},
        {"Mode", "Neutral", nullptr, false},
        {"!x", "1", nullptr, false},
        {"GrayOut", "a\"b", nullptr, true},
        // A LUT file name is read whole, so it may begin with N but carries no marker.
        {"BaseLUT", "Neutral.cube", nullptr, true},
        {"MatrixLUT", "eutral.cube", "N", false},
    };
    ReadLook masked("<look><mask><name>\"a\"</name><contour>" + kPoint +
                    "</contour></mask></look>");
    ASSERT_TRUE(masked.mask);
    const float lut[] = {0, 0, 0};
    for (const auto& c : cases) {
        ReadLook look(Base(Sublayer(0, "")));
        look.grading.BaseSublayer(0)->SetText(CVxString(c.name), CVxString(c.text), c.defaultText);
        CVxString out("old");
        EXPECT_EQ(WriteLookDocument(out, look.grading, masked.mask.get(), lut, 1, lut, 1), c.ok)
            << c.name << " " << c.text;
        EXPECT_EQ(out == "old", !c.ok) << c.name << " " << c.text;
    }

    ReadLook infinite(Base(Sublayer(0, "")));
    infinite.grading.BaseSublayer(0)->SetNumber(CVxString("Gain.X"),
                                                std::numeric_limits<double>::infinity());
    CVxString out("old");
    EXPECT_FALSE(WriteLookDocument(out, infinite.grading, nullptr, lut, 1, nullptr, 0));
    masked.mask->m_name = "a\"b";
    EXPECT_FALSE(WriteLookDocument(out, masked.grading, masked.mask.get(), lut, 1, nullptr, 0));
    // No string holds lattices this large; the data is never read.
    for (uint32_t size : {1024u, 2048u, 4194304u})
        EXPECT_FALSE(WriteLookDocument(out, masked.grading, nullptr, lut, size, nullptr, 0));
    EXPECT_STREQ(out.c_str(), "old");
}

// Read back, a document holds the same grading and mask (it writes the same
// text again) and names its LUT size.
TEST(LookWriter, DocumentsReadBackAsWritten) {
    ReadLook first("<look><mask><name>\"m\"</name><contour>" + kPoint + kPoint +
                   "</contour></mask><shaders><shader><name>\"Blur\"</name><parameters>"
                   "<Radius>\"N2\"</Radius><Grain>\"Night.cube\"</Grain></parameters></shader>"
                   "<base><sublayer0><parameters><Gain.X>\"0.25\"</Gain.X><Mode>\"N\"</Mode>"
                   "<BaseLUT>\"Night.cube\"</BaseLUT></parameters></sublayer0>"
                   "</base><grading1d>\"1\"</grading1d></shaders></look>");
    ASSERT_TRUE(first.ok);
    const uint32_t size = 4;
    const std::vector<float> lattice = Ramp(size * size * size);
    CVxString written;
    ASSERT_TRUE(WriteLookDocument(written, first.grading, first.mask.get(), lattice.data(), size,
                                  nullptr, 0));

    EXPECT_NE(std::string(written.c_str()).find("    <grading1d>\"1\"</grading1d>\n  </shaders>\n"),
              std::string::npos);

    ReadLook second(written.c_str());
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.size, size);
    EXPECT_EQ(second.grading.LayerCount(), 2u);
    CVxString rewritten;
    ASSERT_TRUE(WriteLookDocument(rewritten, second.grading, second.mask.get(), lattice.data(),
                                  size, nullptr, 0));
    EXPECT_STREQ(rewritten.c_str(), written.c_str());

    // A mask whose only contour holds no points is left out.
    CVxShapeMask empty;
    empty.m_contours.emplace_back();
    empty.m_contours.back().sets.emplace_back();
    ASSERT_TRUE(
        WriteLookDocument(rewritten, second.grading, &empty, lattice.data(), size, nullptr, 0));
    EXPECT_EQ(std::string(rewritten.c_str()).find("\n  <mask>"), std::string::npos);
}

} // namespace
