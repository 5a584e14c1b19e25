#include "look/look_elements.h"
#include "look_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

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

} // namespace
