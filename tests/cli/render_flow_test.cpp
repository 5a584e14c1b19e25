#include "cli_harness.h"

#include <cmath>

namespace {

// The value of kRamp at lattice index i of 9.
double RampAt(double i) {
    return 0.1 + 0.6 * i / 8;
}

// A base with only Gain.X = 0.5 at a lattice colour c: its single-range step
// with no offset, in the order of the kernel's single-precision steps.
void GainX(const float c[3], float out[3]) {
    const float gain[3] = {static_cast<float>(std::pow(2.0, 0.5)), 1.0f, 1.0f};
    const float y = c[0] * 0.299f + c[1] * 0.587f + c[2] * 0.114f;
    for (int k = 0; k < 3; ++k)
        out[k] = (1.0f * (c[k] - y) + y) * gain[k] + 0.0f;
}

// Lattice coordinates as the renderer forms them: repeated single-precision addition.
std::vector<float> Axis(uint32_t n) {
    std::vector<float> axis(n);
    const float step = static_cast<float>(1.0 / double(n - 1));
    float value = 0.0f;
    for (float& coordinate : axis) {
        coordinate = value;
        value += step;
    }
    return axis;
}

// An n-point Cubrel file whose channels each map lattice index i to f(i).
std::string EachChannel(uint32_t n, double (*f)(double)) {
    return ExpectedCubrel(n, [f](uint32_t r, uint32_t g, uint32_t b, float rgb[3]) {
        const uint32_t index[3] = {r, g, b};
        for (int c = 0; c < 3; ++c)
            rgb[c] = static_cast<float>(f(index[c]));
    });
}

const std::string kMask =
    "  <mask>\n    <name>\"shape\"</name>\n"
    "    <activecontour>\"0\"</activecontour>\n"
    "    <width>\"1920\"</width>\n    <height>\"1080\"</height>\n"
    "    <contour>\n      <positive>\"1\"</positive>\n      <point>\n"
    "        <inner>\"catmull-rom,value:0.25,0.5@0\"</inner>\n"
    "        <innerprevtangent>\"catmull-rom,value:0,0@0\"</innerprevtangent>\n"
    "        <innernexttangent>\"catmull-rom,value:0,0@0\"</innernexttangent>\n"
    "        <falloffexponent>\"catmull-rom,value:1@0\"</falloffexponent>\n"
    "        <falloffweight>\"catmull-rom,value:0.5@0\"</falloffweight>\n"
    "        <detached>linear,value:0@0</detached>\n"
    "        <outer>\"catmull-rom,value:0.3,0.55@0\"</outer>\n"
    "        <outerprevtangent>\"catmull-rom,value:0,0@0\"</outerprevtangent>\n"
    "        <outernexttangent>\"catmull-rom,value:0,0@0\"</outernexttangent>\n"
    "        <spline>\"linear,value:1@0\"</spline>\n"
    "        <smooth>\"linear,value:0@0\"</smooth>\n"
    "      </point>\n    </contour>\n  </mask>\n";

// The start of a rebuilt look whose base sublayer holds the parameters.
std::string RebuiltBase(const std::string& parameters) {
    return "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n    <base>\n"
           "      <rangeversion>\"2\"</rangeversion>\n      <visible>\"1\"</visible>\n"
           "      <sublayer0>\n        <opacity>\"1\"</opacity>\n        <parameters>\n" +
           parameters + "        </parameters>\n      </sublayer0>\n    </base>\n  </shaders>\n";
}

// The rebuilt document of a look whose base has only Gain.X = 0.5 and the mask.
std::string RebuiltGainLook(uint32_t size) {
    const std::vector<float> axis = Axis(size), levels = Axis(256);
    std::vector<float> lattice(3 * size * size * size), ramp(3 * 256);
    for (uint32_t i = 0; i < size * size * size; ++i) {
        const float c[3] = {axis[i % size], axis[i / size % size], axis[i / size / size]};
        GainX(c, &lattice[3 * i]);
    }
    for (uint32_t i = 0; i < 256; ++i) {
        const float c[3] = {levels[i], levels[i], levels[i]};
        GainX(c, &ramp[3 * i]);
    }
    return RebuiltBase(Parameter("Gain.X", "0.5")) +
           "  <ASC>\n    <slope>\"1.41421,1,1\"</slope>\n    <offset>\"0,0,0\"</offset>\n"
           "    <power>\"1,1,1\"</power>\n  </ASC>\n" +
           kMask + LutElement("LUT", size, lattice) + LutElement("LUT1D", 256, ramp) + "</look>\n";
}

using RenderFlowTest = CliTest;

TEST_F(RenderFlowTest, CubrelModeRendersLooksBesideThem) {
    WriteFile("gain.look", BaseLook(Parameter("Gain.X", "0.5")));
    WriteFile("gain.lut", "an older file of the same name");
    WriteFile("plain.look", "<look>\n  <shaders>\n  </shaders>\n</look>\n");
    const RunResult result = Run({"*.look", "-cubrel", "-size", "9"});
    EXPECT_EQ(result.out, kBanner + "\ngain.look:\n" + kWritten + "\nplain.look:\n" + kWritten);
    EXPECT_EQ(result.exitCode, 0);
    const std::vector<float> axis = Axis(9);
    EXPECT_TRUE(ReadFile("gain.lut") ==
                ExpectedCubrel(9, [&](uint32_t r, uint32_t g, uint32_t b, float rgb[3]) {
                    const float c[3] = {axis[r], axis[g], axis[b]};
                    GainX(c, rgb);
                }));
    EXPECT_TRUE(ReadFile("plain.lut") == EachChannel(9, [](double i) { return i / 8.0; }));
}

// Without -noresampling b.look falls back on its stored LUT, as batch tests show.
TEST_F(RenderFlowTest, RenderFailuresNameTheirCause) {
    WriteFile("empty.cube", "LUT_3D_SIZE 0\n");
    WriteFile("a.look", UnknownShaderLook());
    WriteFile("b.look", BaseLook(Parameter("BaseLUT", "missing.cube"), StoredLut(0.25f)));
    WriteFile("c.look", BaseLook(Parameter("BaseLUT", "empty.cube")));
    const std::string resamplingDisabled =
        "  LUT resampling is disabled; the file was not converted\n";
    const RunResult refused = Run({"*.look", "-cubrel", "-noresampling"});
    EXPECT_EQ(refused.out, kBanner + "\na.look:\n" + kShaderMissing + kCannotConvert +
                               "\nb.look:\n" + kLutMissing + resamplingDisabled + "\nc.look:\n" +
                               kLutMissing + kCannotConvert);
    EXPECT_EQ(List(), (std::vector<std::string>{"a.look", "b.look", "c.look", "empty.cube"}));
    EXPECT_EQ(Run({"c.look", "-size", "8"}).out, kBanner + "\nc.look:\n" + kNotRendered);
    EXPECT_EQ(ReadFile("c.look"), BaseLook(Parameter("BaseLUT", "empty.cube")));
}

TEST_F(RenderFlowTest, LutFilesThatAreNoPlainLatticeAreRenderedThroughALook) {
    // The ramp, and a Truelight lattice whose input table scales by 0.4: both
    // become Cubrel LUTs of what they do.
    WriteFile("ramp.lut", kRamp);
    WriteFile("shaped.lut", "# Truelight Cube v2.0\n# iDims 3\n# oDims 3\n# width 2 2 2\n"
                            "# lutLength 2\n# InputLUT\n0 0 0\n0.4 0.4 0.4\n# Cube\n"
                            "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n# end\n");
    const RunResult result = Run({"*.lut", "-cubrel", "-size", "9"});
    EXPECT_EQ(result.out, kBanner + "\nramp.lut:\n" + kWritten + "\nshaped.lut:\n" + kWritten);
    EXPECT_EQ(List(), (std::vector<std::string>{"ramp.lut", "shaped.lut"}));
    // Every value lies at least 0.02 of a code away from a rounding edge.
    EXPECT_TRUE(ReadFile("ramp.lut") == EachChannel(9, RampAt));
    EXPECT_TRUE(ReadFile("shaped.lut") == EachChannel(9, [](double i) { return 0.4 * i / 8; }));
}

TEST_F(RenderFlowTest, LutsThatALookNamesAreLookedForBesideItLast) {
    WriteFile("sub/ramp.lut", kRamp);
    WriteFile("sub/b.look", BaseLook(Parameter("BaseLUT", "tone.cube")));
    WriteFile("sub/tone.cube", kRamp);
    // From another working folder: the wrapped file and the base LUT beside the look.
    EXPECT_EQ(Run({"sub", "-size", "8"}).out,
              kBanner + "\nb.look:\n" + kUpdated + "\nramp.lut:\n" + kUpdated);
    EXPECT_NE(ReadFile("sub/ramp.look").find(Parameter("BaseLUT", "ramp.lut")), std::string::npos);
    // The look made for ramp.lut never writes over the file it wraps.
    EXPECT_EQ(Run({"sub/*.look", "-cubrel", "-size", "9"}).out,
              kBanner + "\nb.look:\n" + kWritten +
                  "\nramp.look:\n  Error: sub/ramp.lut is read by ramp.look; file was not "
                  "converted (-out DIR writes elsewhere)\n");
    EXPECT_TRUE(ReadFile("sub/b.lut") == EachChannel(9, RampAt));
    EXPECT_EQ(ReadFile("sub/ramp.lut"), kRamp);

    // The LUT folders come first.
    WriteFile("other/tone.cube", "LUT_1D_SIZE 2\n0 0 0\n0.8 0.8 0.8\n");
    m_scratch.Write("settings/Utility_Settings.xml",
                    "<values>\n  <ColorTransforms>\n    <LUTPath1>\"" +
                        m_scratch.Drive("work/other") +
                        "\"</LUTPath1>\n  </ColorTransforms>\n</values>\n");
    EXPECT_EQ(Run({"sub/b.look", "-cubrel", "-size", "9"}).out, kBanner + "\nb.look:\n" + kWritten);
    EXPECT_TRUE(ReadFile("sub/b.lut") == EachChannel(9, [](double i) { return 0.1 * i; }));
}

TEST_F(RenderFlowTest, RebuildModeRewritesLooksInPlace) {
    WriteFile("gain.look", BaseLook(Parameter("Gain.X", "0.5"), kMask));
    const RunResult result = Run({"gain.look", "-size", "8"});
    EXPECT_EQ(result.out, kBanner + "\ngain.look:\n" + kUpdated);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(ReadFile("gain.look"), RebuiltGainLook(8));
    // The rebuilt look reads back whole: mask, opacity and visibility included.
    const RunResult bigger = Run({"gain.look", "-size", "16"});
    EXPECT_EQ(bigger.out, kBanner + "\ngain.look:\n" + kUpdated);
    EXPECT_EQ(ReadFile("gain.look"), RebuiltGainLook(16));
}

TEST_F(RenderFlowTest, RebuildModeWrapsLutFilesIntoLooks) {
    WriteFile("a.lut", kRamp);
    WriteFile("b.lut", kRamp);
    WriteFile("b.look", "an older look");
    // The look that wraps these bytes cannot be rendered.
    WriteFile("c.lut", kUnloadable);
    WriteFile("c.look", "an older look");
    WriteFile("Night 1.lut", kRamp);
    const RunResult result = Run({"*.lut", "-size", "8"});
    EXPECT_EQ(result.out, kBanner + "\na.lut:\n" + kUpdated + "\nb.lut:\n" + kOverwriting +
                              kUpdated + "\nc.lut:\n" + kOverwriting + kNotRendered +
                              "\nNight 1.lut:\n" + kUpdated);
    EXPECT_EQ(ReadFile("a.lut"), kRamp);
    EXPECT_EQ(ReadFile("c.look"), "an older look");
    const std::string head =
        RebuiltBase(Parameter("BaseLUT", "a.lut")) + "  <LUT>\n    <size>\"8\"</size>\n";
    const std::string look = ReadFile("a.look");
    EXPECT_EQ(look.substr(0, head.size()), head);
    // 8^3 entries of 12 bytes: 192 lines of 64 hex digits, then the closing tags.
    const std::string tail = "\"\n    </data>\n  </LUT>\n</look>\n";
    EXPECT_EQ(look.size(),
              head.size() + std::string("    <data>\"").size() + 192 * 71 + tail.size());
    EXPECT_EQ(look.substr(look.size() - tail.size()), tail);
    EXPECT_EQ(ReadFile("b.look").substr(head.size()), look.substr(head.size()));
    // Night 1.lut is applied as a.lut is, not taken for an unset marker.
    const size_t aBase = RebuiltBase(Parameter("BaseLUT", "a.lut")).size();
    EXPECT_EQ(ReadFile("Night 1.look"),
              RebuiltBase(Parameter("BaseLUT", "Night 1.lut")) + look.substr(aBase));

    const RunResult again = Run({"a.look", "-size", "8"});
    EXPECT_EQ(again.out, kBanner + "\na.look:\n  LUT size is already 8, file was not modified\n");
}

TEST_F(RenderFlowTest, ARebuiltLookWithASecondaryHasNoCdlOrRamp) {
    // Secondary 1 keys every colour (no switch enabled) and takes it to black;
    // a 1D LUT and CDL of the grays would contradict the lattice.
    const std::string params = Parameter("EnableHLS1", "0,0,0") + Parameter("Overall1", "-2000");
    WriteFile("s.look", BaseLook(params));
    EXPECT_EQ(Run({"s.look", "-size", "8"}).out, kBanner + "\ns.look:\n" + kUpdated);
    EXPECT_EQ(ReadFile("s.look"), RebuiltBase(params) +
                                      LutElement("LUT", 8, std::vector<float>(3 * 512, 0.0f)) +
                                      "</look>\n");
}

TEST_F(RenderFlowTest, PackageShadersRenderOnlyWhatTheyKnow) {
    // A film emulation whose colour math is unknown, and a shader whose texture
    // list names its LUT while an image texture and the list's default name none.
    m_scratch.Write("shaders/Film/technicolor.vxtp", "<shader name=\"fxTechnicolor(3strip)\">\n"
                                                     "<extern name=\"amount\"/>\n</shader>\n");
    m_scratch.Write("shaders/Studio/grade.vxtp",
                    "<shader name=\"Studio.Grade\">\n"
                    "<texturelist name=\"Grade\" unit=\"1\" extern=\"1\" default=\"gone.cube\"/>\n"
                    "<texture name=\"Grain\" unit=\"2\" type=\"2d\" default=\"grain.png\"/>\n"
                    "</shader>\nVEXLAN.LUT.Adaptive\n");
    m_scratch.Write("shaders/Studio/Night.cube", kRamp);
    m_scratch.Write("shaders/Studio/grain.png", "\x89PNG\r\n\x1a\n");
    auto layer = [](const std::string& name, const std::string& parameters) {
        return "    <shader>\n      <name>\"" + name + "\"</name>\n      <parameters>\n" +
               parameters + "      </parameters>\n    </shader>\n";
    };
    const std::string film = "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n" +
                             layer("fxTechnicolor(3strip)", "") + "  </shaders>\n" +
                             StoredLut(0.25f) + "</look>\n";
    WriteFile("film.look", film);
    WriteFile("grade.look", "<look>\n  <shaders>\n" +
                                layer("Studio.Grade", Parameter("Grade", "Night.cube") +
                                                          Parameter("Grain", "grain.png")) +
                                layer("Studio.Grade", "") + "  </shaders>\n</look>\n");
    EXPECT_EQ(Run({"*.look", "-cubrel", "-size", "9"}).out, kBanner + "\nfilm.look:\n" +
                                                                kShaderMissing + kWritten +
                                                                "\ngrade.look:\n" + kWritten);
    EXPECT_TRUE(ReadFile("film.lut") == EachChannel(9, [](double) { return 0.25; }));
    EXPECT_TRUE(ReadFile("grade.lut") == EachChannel(9, RampAt));
    EXPECT_EQ(Run({"film.look", "-size", "8"}).out, kBanner + "\nfilm.look:\n" + kNotRendered);
    EXPECT_EQ(ReadFile("film.look"), film);
}

TEST_F(RenderFlowTest, ARebuiltLookConvertsLikeItsDirectRender) {
    // Linear gains keep every value clear of a rounding edge of the 10-bit codes,
    // so the resampled stored LUT and the render agree to the byte.
    const std::string look = BaseLook(Parameter("Gain.X", "0.5") + Parameter("Gain.Y", "0.1") +
                                      Parameter("Gain.Z", "-0.1"));
    for (const auto& [rebuilt, cubrel] : {std::pair{"16", "17"}, std::pair{"32", "33"}}) {
        WriteFile("g.look", look);
        EXPECT_EQ(Run({"g.look", "-size", rebuilt}).out, kBanner + "\ng.look:\n" + kUpdated);
        WriteFile("stored.lut", ReadFile("g.look"));
        EXPECT_EQ(Run({"stored.lut", "-cubrel", "-size", cubrel}).out,
                  kBanner + "\nstored.lut:\n" + kResampling + kWritten);
        EXPECT_EQ(Run({"g.look", "-cubrel", "-size", cubrel}).out,
                  kBanner + "\ng.look:\n" + kWritten);
        EXPECT_TRUE(ReadFile("stored.lut") == ReadFile("g.lut")) << cubrel;
    }
}

} // namespace
