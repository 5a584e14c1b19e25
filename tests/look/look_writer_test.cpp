#include "look/look_writer.h"
#include "look_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

const std::string kPoint = "<point><inner>\"catmull-rom,value:0.25,0.75@0\"</inner></point>";

// The data as the element holds it: 32 bytes a line, two upper-case digits a byte.
std::string ReferenceHex(const std::vector<float>& values) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
    std::string text;
    char pair[3];
    for (size_t i = 0; i < values.size() * 4; ++i) {
        if (i % 32 == 0)
            text += "\n      ";
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

std::vector<float> Ramp(size_t entries) {
    std::vector<float> values(entries * 3);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<float>(i) * 0.001f - 1.0f;
    return values;
}

// A base with a CDL, a mask, a lattice and a ramp is compared whole in the
// rebuilt documents of the command-line tests.
TEST(LookWriter, WritesWholeDocuments) {
    const float lut3D[] = {1.0f, 0.5f, -2.0f};
    const float lut1D[] = {0.0f, 0.0f, 0.0f, 1.0f, 0.5f, -2.0f};
    const std::string start = "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n";
    const std::string base = "    <base>\n      <rangeversion>\"2\"</rangeversion>\n";
    const std::string lutText = "  <LUT>\n    <size>\"1\"</size>\n    <data>\"\n"
                                "      0000803F0000003F000000C0\"\n    </data>\n  </LUT>\n";
    const struct {
        std::string look;
        bool emptyMask;
        uint32_t size3D, size1D;
        std::string expected;
    } cases[] = {
        {Base(Sublayer(0, "Gain.r=1 GrayOut=1") + Sublayer(3, "", "<opacity>\"0.3\"</opacity>")),
         true, 0, 0,
         start + base +
             "      <visible>\"1\"</visible>\n      <sublayer0>\n"
             "        <opacity>\"1\"</opacity>\n        <parameters>\n"
             "          <Gain.X>\"1\"</Gain.X>\n        </parameters>\n      </sublayer0>\n"
             "      <sublayer3>\n        <opacity>\"0.300000011920929\"</opacity>\n"
             "      </sublayer3>\n    </base>\n  </shaders>\n"
             "  <ASC>\n    <slope>\"2,1,1\"</slope>\n    <offset>\"0,0,0\"</offset>\n"
             "    <power>\"1,1,1\"</power>\n  </ASC>\n</look>\n"},
        {Shaders("<shader><name>\"Blur\"</name></shader><base><visible>\"0\"</visible></base>"
                 "<1dgrading>\"1\"</1dgrading>"),
         false, 1, 2,
         start +
             "    <shader>\n      <name>\"Blur\"</name>\n      <visible>\"1\"</visible>\n"
             "      <opacity>\"1\"</opacity>\n      <mask>\"0\"</mask>\n"
             "      <vectormask>\"0\"</vectormask>\n      <parameters>\n      </parameters>\n"
             "    </shader>\n" +
             base +
             "      <visible>\"0\"</visible>\n    </base>\n"
             "    <grading1d>\"1\"</grading1d>\n  </shaders>\n" +
             lutText + "</look>\n"},
    };
    // One contour whose only point set holds no points.
    CVxShapeMask empty;
    empty.m_contours.emplace_back();
    empty.m_contours.back().sets.emplace_back();
    for (const auto& c : cases) {
        ReadLook look(c.look);
        ASSERT_TRUE(look.ok) << c.look;
        CVxString out("old text");
        const CVxShapeMask* mask = c.emptyMask ? &empty : look.mask.get();
        ASSERT_TRUE(WriteLookDocument(out, look.grading, mask, lut3D, c.size3D, lut1D, c.size1D));
        EXPECT_EQ(std::string(out.c_str()), c.expected);
    }
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
        const std::string expected = "x  <LUT>\n    <size>\"" + std::to_string(size) +
                                     "\"</size>\n    <data>\"" + ReferenceHex(data) +
                                     "\"\n    </data>\n  </LUT>\n";
        EXPECT_TRUE(std::string(out.View()) == expected) << size;
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

    ReadLook second(written.c_str());
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.size, size);
    EXPECT_EQ(second.grading.LayerCount(), 2u);
    CVxString rewritten;
    ASSERT_TRUE(WriteLookDocument(rewritten, second.grading, second.mask.get(), lattice.data(),
                                  size, nullptr, 0));
    EXPECT_STREQ(rewritten.c_str(), written.c_str());
}

} // namespace
