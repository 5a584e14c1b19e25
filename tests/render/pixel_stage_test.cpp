#include "render/base_first_pass.h"
#include "render/base_grading.h"
#include "render/base_second_pass.h"
#include "render/base_shader_definition.h"
#include "render/kernel_registry.h"
#include "render/lut_sampling.h"
#include "render/shader_definition.h"

#include "pixel_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

TEST(LutStages, MapTheDomainAndApplyTheParts) {
    // The LUTs of the cases: none, a 1D table over [0, 2] (each channel its own
    // column), a lattice, a lattice over [-1, 1], and a lattice with a pre-LUT as
    // the readers build it (the pre-LUT holds lattice coordinates, the lattice's
    // domain spans its first to last texel centre).
    const Rgb any = {0.25f, -0.5f, 7};
    std::vector<std::unique_ptr<CVxLUT>> luts(5);
    luts[1] = MakeTable({{0, 1, 0}, {0.5f, 0, 1}, {2, 1, 4}}, 0.0f, 2.0f);
    luts[2] = MakeLattice(5, Multilinear);
    luts[3] = MakeLattice(3, Multilinear);
    luts[3]->SetDomainUniform(-1.0f, 1.0f);
    luts[4] = MakeLattice(2, Multilinear);
    luts[4]->SetDomainUniform(0.25f, 0.75f);
    luts[4]->m_preLUT =
        MakeTable({{0.25f, 0.25f, 0.25f}, {0.3f, 0.3f, 0.3f}, {0.75f, 0.75f, 0.75f}}).release();
    const struct {
        const char* shader;
        int lut;
        Rgb in;
        Rgb expected;
    } cases[] = {
        {"VEXLAN.LUT.1D", 1, {1.5f, 0.5f, 1}, {1.25f, 0.5f, 1}},
        {"VEXLAN.LUT.1D", 1, {-1, 3, 2}, {0, 1, 4}},
        {"VEXLAN.LUT.3D", 2, {0.3f, 0.7f, 0.9f}, {0.7f, 0.575f, 0.27f}},
        {"VEXLAN.LUT.3D", 2, {2, -1, 0.5f}, {0, 0.125f, 0.5f}},
        {"VEXLAN.LUT.3D", 3, {-0.5f, 1, 0.5f}, {0.75f, 0.6875f, 0.1875f}},
        // Pre-LUT: 0.5 -> 0.3 and 0.25 -> 0.275, lattice coordinates 0.1 and 0.05.
        {"VEXLAN.LUT.1D3D", 4, {0.5f, 0.25f, 1}, {0.9f, 0.275f, 0.1f}},
        {"vexlan.lut.adaptive", 4, {0.5f, 0.25f, 1}, {0.9f, 0.275f, 0.1f}},
        {"VEXLAN.LUT.Adaptive", 1, {1.5f, 0.5f, 1}, {1.25f, 0.5f, 1}},
        // Shaders without the part they apply, or without a LUT, pass pixels through.
        {"VEXLAN.LUT.3D", 1, any, any},
        {"VEXLAN.LUT.1D", 2, any, any},
        {"VEXLAN.LUT.1D3D", 0, any, any},
        {"VEXLAN.NoOp", 2, any, any},
        {"VEXLAN.BadTexture", 0, any, any},
    };
    for (const auto& c : cases) {
        const std::string label = std::string(c.shader) + " " + std::to_string(c.lut);
        const PixelStageFactory factory = FindPixelStage(c.shader);
        ASSERT_NE(factory, nullptr) << label;
        const CVxLUT* lut = luts[c.lut].get();
        const LutTexture texture = lut ? MakeLutTexture(*lut) : LutTexture();
        PixelStageSetup setup;
        setup.textures[1] = lut ? &texture : nullptr;
        const std::unique_ptr<PixelStage> stage = factory(setup);
        const std::array<float, 4> out = RunPixel(*stage, c.in, 0.25f);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(out[k], c.expected[k], 1e-6) << label << " channel " << k;
        EXPECT_EQ(out[3], 0.25f) << label;
        EXPECT_EQ(stage->IsIdentity(), c.in == c.expected) << label;
    }
    EXPECT_EQ(FindPixelStage("VEXLAN.LUT.2D"), nullptr);
    EXPECT_EQ(FindPixelStage("fxTechnicolor(3strip)"), nullptr);
    EXPECT_EQ(FindPixelStage("VEXLAN.Base"), nullptr);
}

// Rows longer than a chunk, in place and into another buffer, keep every pixel in its place.
TEST(LutStages, WholeRows) {
    const std::unique_ptr<CVxLUT> lattice = MakeLattice(5, Multilinear);
    const LutTexture texture = MakeLutTexture(*lattice);
    PixelStageSetup setup;
    setup.textures[1] = &texture;
    const std::unique_ptr<PixelStage> stage = FindPixelStage("VEXLAN.LUT.3D")(setup);
    const uint32_t width = 301;
    std::vector<float> row, expected, copy(width * 4);
    for (uint32_t i = 0; i < width; ++i) {
        const float x = static_cast<float>(i) / (width - 1);
        const Rgb graded = Multilinear(x, 1 - x, x * x);
        row.insert(row.end(), {x, 1 - x, x * x, static_cast<float>(i)});
        expected.insert(expected.end(), {graded[0], graded[1], graded[2], static_cast<float>(i)});
    }
    stage->ProcessRow(row.data(), copy.data(), width);
    stage->ProcessRow(row.data(), row.data(), width);
    EXPECT_EQ(row, copy);
    for (uint32_t i = 0; i < width * 4; ++i)
        ASSERT_NEAR(row[i], expected[i], 1e-6) << i / 4 << " channel " << i % 4;
}

// A base grading layer: the built-in definition bound to the layer's parameters.
class BaseLayer {
public:
    explicit BaseLayer(const std::string& parameters) {
        EXPECT_TRUE(m_definition.Parse(BaseShaderDefinitionText(true)));
        EXPECT_TRUE(m_definition.Bind(Params(parameters))) << m_definition.Message().c_str();
    }

    const ShaderScript* Script() const { return &m_definition.Script(); }
    std::unique_ptr<PixelStage> Pass(const char* shader, const LutTexture* matrixLut = nullptr,
                                     const LutTexture* baseLut = nullptr) const {
        const ShaderLookupTable& table = m_definition.LookupTables()[0];
        PixelStageSetup setup;
        setup.script = Script();
        setup.textures[6] = matrixLut;
        setup.textures[3] = baseLut;
        setup.lookups[5] = {table.Data().data(), table.RowCount()};
        return FindPixelStage(shader)(setup);
    }

private:
    ShaderDefinition m_definition;
};

// One pixel of alpha 0.5 through a pass of a base layer.
struct BasePassCase {
    std::string parameters;
    const char* kernel; // names the pass and the steps it takes
    Rgb in;
    Rgb expected;
    int textures = 0; // 1: the base LUT, 2: the matrix LUT as well
};

// The pass chooses the case's kernel variant, gives its colour and keeps the alpha.
inline void ExpectPassColour(const BasePassCase& c, const LutTexture* matrixLut = nullptr,
                             const LutTexture* baseLut = nullptr) {
    const BaseLayer layer(c.parameters);
    const std::unique_ptr<PixelStage> stage =
        layer.Pass(("VEXLAN." + std::string(c.kernel, 6)).c_str(),
                   c.textures > 1 ? matrixLut : nullptr, c.textures > 0 ? baseLut : nullptr);
    EXPECT_STREQ(stage->KernelName(), c.kernel);
    const std::array<float, 4> out = RunPixel(*stage, c.in, 0.5f);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(out[k], c.expected[k], 1e-6) << c.kernel << " channel " << k;
    EXPECT_EQ(out[3], 0.5f) << c.kernel;
}

// The working values named in `expected` ("gainLow=2,1,1"), written the same way.
std::string Fields(const BaseGradingValues& v, const std::string& expected) {
    const char* const names[] = {"gainLow",     "gainMid", "gammaLow",     "offsetLow",
                                 "offset3",     "gain3",   "grayOutColor", "normBlur123",
                                 "normBlur456", "matrixG", "luminance"};
    const float* const fields[] = {
        v.gain[0],          v.gain[1],      v.gamma[0], v.offset[0],    v.secondaryOffset[2],
        v.secondaryGain[2], v.grayOutColor, v.normBlur, v.normBlur + 3, v.matrix[1],
        v.luminance};
    return WithActual(expected, [&](const std::string& name) {
        return Rgb3(fields[std::find(std::begin(names), std::end(names), name) - names]);
    });
}

std::string PartNames(const BaseGradingParts& p) {
    const std::pair<bool, const char*> flags[] = {
        {p.matrix, "matrix"},       {p.tonalSplit, "split"},    {p.gamma[0], "gammaLow"},
        {p.gamma[1], "gammaMid"},   {p.gamma[2], "gammaHigh"},  {p.singleRange, "single"},
        {p.secondaries[0], "s123"}, {p.secondaries[1], "s456"}, {p.invert[0], "invert123"},
        {p.invert[1], "invert456"}, {p.blur, "blur"},           {p.wideBlur, "wide"},
        {p.grayOut, "grayOut"},     {p.picking, "picking"}};
    std::string names;
    for (const auto& [on, name] : flags)
        if (on)
            names += names.empty() ? name : std::string(" ") + name;
    return names;
}

TEST(BaseGrading, WorkingValuesAndIdentityTests) {
    const std::string grayOut123 = "GrayOut1=2 GrayOut2=1 GrayOut3=2.4";
    const std::string cases[][3] = {
        // The layer's parameters, the parts they make active, working values.
        {"", "", "luminance=0.299,0.587,0.114 matrixG=0,1,0 gain3=1,1,1"},
        {"gain.x=1", "single", "gainLow=2,1,1"},
        {"Temperature=1", "single", "gainMid=2,1,0.5"},
        {"GrayOutLow=2", "split single", "gammaLow=1,1,1 gainLow=0,0,0 offsetLow=0.7,0.7,0.7"},
        {"GrayOut3=2", "s123", "offset3=0.7,0.7,0.7 grayOutColor=0.7,0.7,0.7"},
        {"GrayOut3=3", "s123", "offset3=1,1,1 grayOutColor=0,0,0"},
        {grayOut123, "s123 grayOut", "gain3=0,0,0"},
        {grayOut123 + " GrayOut4=1 GrayOut5=1 GrayOut6=1", "s123 s456", ""},
        {"blur123.x=2", "blur wide", "normBlur123=1.50376,0,0 normBlur456=0,0,0"},
        {"blur456.z=1", "blur", "normBlur456=0,0,1"},
        {"matrixG.x=0.5 Picking=1", "matrix picking", "matrixG=0.5,1,0"},
        {"gammaMid.y=1", "split gammaMid", ""},
        {"gamma.z=-1", "gammaLow gammaMid gammaHigh", "gammaLow=1,1,0.333333"},
        {"invert456.z=1", "invert456", ""},
        {"saturation456.y=0", "s456", ""},
        {"matrixR.w=1e-10 saturation=1.0000000001", "", ""},
    };
    for (const auto& [parameters, parts, values] : cases) {
        const BaseLayer layer(parameters);
        EXPECT_EQ(PartNames(FindBaseGradingParts(layer.Script())), parts) << parameters;
        EXPECT_EQ(Fields(ReadBaseGradingValues(layer.Script()), values), values) << parameters;
    }
    EXPECT_EQ(PartNames(FindBaseGradingParts(nullptr)), "");
}

TEST(BaseGrading, DefaultsLeaveEveryBitAlone) {
    const std::vector<float> row = {0.25f,    -0.0f, 1e-30f, 0.5f, -3,  7,
                                    INFINITY, 1,     0.1f,   0.2f, NAN, -INFINITY};
    const BaseLayer layer("");
    for (const char* shader : {"VEXLAN.Base.1", "vexlan.base.2"}) {
        const std::unique_ptr<PixelStage> stage = layer.Pass(shader);
        EXPECT_TRUE(stage->IsIdentity()) << shader;
        std::vector<float> out(row.size()), inPlace = row;
        stage->ProcessRow(row.data(), out.data(), 3);
        stage->ProcessRow(inPlace.data(), inPlace.data(), 3);
        EXPECT_EQ(std::memcmp(out.data(), row.data(), row.size() * 4), 0) << shader;
        EXPECT_EQ(std::memcmp(inPlace.data(), row.data(), row.size() * 4), 0) << shader;
    }
}

TEST(BaseFirstPass, StepsAndColours) {
    // Tonal weights at Y are those of the row at Y * 1023/1024.
    const float high = 2 * (0.8f * 1023 / 1024 - 0.5f);
    const float low = 1 - 2 * (0.4f * 1023 / 1024);
    const Rgb ramp = {0.2f, 0.4f, 0.6f}, gray4 = {0.4f, 0.4f, 0.4f}, gray8 = {0.8f, 0.8f, 0.8f};
    const Rgb midGamma = {0.4f, low * 0.4f + (1 - low) * 0.064f, 0.4f};
    const std::string matrix =
        "matrixR.x=0.5 matrixR.y=0.25 matrixR.w=0.1 matrixG.z=2 matrixB.x=-1";
    const std::string swap = "matrixR.x=0 matrixR.y=1 matrixG.x=1 matrixG.y=0";
    const BasePassCase cases[] = {
        {matrix, "Base.1[Matrix]", ramp, {0.3f, 1.6f, 0.4f}},
        {"saturation=0.5", "Base.1[SingleRange]", {0.8f, 0.4f, 0.2f}, {0.6484f, 0.4484f, 0.3484f}},
        {"offset.x=0.1", "Base.1[SingleRange]", ramp, {0.3f, 0.4f, 0.6f}},
        {"gamma.x=1", "Base.1[SingleRange,GammaLow]", {0.5f, -0.2f, 1.5f}, {0.125f, 0, 1.5f}},
        {"gainHigh.x=1", "Base.1[TonalSplit]", gray8, {0.8f * (1 + high), 0.8f, 0.8f}},
        {"gammaMid.y=1", "Base.1[TonalSplit,GammaMid]", gray4, midGamma},
        {"Picking=1", "Base.1[]", {0.2f, 2, -1}, {0.2f, 2, -1}},
        // Curve on red, then red and green swapped, then the lattice.
        {swap, "Base.1[MatrixLUT,Matrix,BaseLUT]", {0.5f, 0.25f, 1}, {0.75f, 0.3f, 0.25f}, 2},
        {"", "Base.1[BaseLUT]", {0.25f, 0.5f, 0.75f}, {0.75f, 0.4375f, 0.1875f}, 1},
    };
    // Unit 6: red through its own curve, green and blue unchanged; unit 3: a lattice.
    const std::unique_ptr<CVxLUT> curve = MakeTable({{0, 0, 0}, {0.1f, 0.5f, 0.5f}, {1, 1, 1}});
    const std::unique_ptr<CVxLUT> lattice = MakeLattice(3, Multilinear);
    const LutTexture matrixLut = MakeLutTexture(*curve);
    const LutTexture baseLut = MakeLutTexture(*lattice);
    for (const BasePassCase& c : cases)
        ExpectPassColour(c, &matrixLut, &baseLut);
}

// Secondary 1 keyed on hue alone: full weight within 30 degrees of red, none
// beyond 60. The hue of (1, 0.75, 0) is 45 degrees, read from the row at
// 45 * 1023/1024.
const std::string kRedKey = "enableHLS1.y=0 enableHLS1.z=0 middleHLS1.x=0 rangeHLS1.x=30 "
                            "toleranceHLS1.x=30 gain1.x=1 gain1.y=1 gain1.z=1 ";

TEST(BaseSecondPass, KeysAndColours) {
    const float e = (60 - 45 * 1023.0f / 1024) / 30;
    const Rgb red = {1, 0, 0}, green = {0, 1, 0}, orange = {1, 0.75f, 0};
    const Rgb gray = {0.7f, 0.7f, 0.7f};
    const std::string inverted = kRedKey + "invert123.x=1";
    const std::string grayOut = kRedKey + "GrayOut1=2 GrayOut2=2 GrayOut3=2 ";
    const std::string greenKey5 = "enableHLS5.y=0 enableHLS5.z=0 middleHLS5.x=120 rangeHLS5.x=30 "
                                  "toleranceHLS5.x=30 gain5.y=1";
    const BasePassCase cases[] = {
        {kRedKey, "Base.2[Keys123]", red, {2, 0, 0}},
        {kRedKey, "Base.2[Keys123]", orange, {1 + e, 0.75f * (1 + e), 0}},
        {kRedKey, "Base.2[Keys123]", green, green},
        {inverted, "Base.2[Keys123,Invert123]", orange, {2 - e, 0.75f * (2 - e), 0}},
        {inverted, "Base.2[Keys123,Invert123]", green, {0, 2, 0}},
        {kRedKey + "saturation123.x=0", "Base.2[Keys123]", red, {0.598f, 0.598f, 0.598f}},
        {greenKey5, "Base.2[Keys456]", {0.2f, 1, 0.2f}, {0.2f, 2, 0.2f}},
        {grayOut, "Base.2[Keys123,GrayOut]", green, gray},
        {grayOut, "Base.2[Keys123,GrayOut]", red, gray},
        // Both groups grayed out: the plain variant.
        {grayOut + "GrayOut4=2 GrayOut5=2 GrayOut6=2", "Base.2[Keys123,Keys456]", green, green},
    };
    for (const BasePassCase& c : cases)
        ExpectPassColour(c);
}

// Secondary 1 keyed on lightness alone with weight 1 - L: on a gray image
// with gain 2 a pixel p becomes p * (2 - L), L the lightness of its key colour.
TEST(BaseSecondPass, BlurredKeysClampAtTheEdges) {
    const float a = 8.6666666666f, d = 5.3333333333f, t = 3.3333333333f;
    const float weights[2][5][5] = {
        {{0, 0, 0, 0, 0}, {0, 0.5f, 1, 0.5f, 0}, {0, 1, 1, 1, 0}, {0, 0.5f, 1, 0.5f, 0}},
        {{0, 1, t, 1, 0}, {1, d, a, d, 1}, {t, a, a, a, t}, {1, d, a, d, 1}, {0, 1, t, 1, 0}}};
    const float factors[2] = {0.1428571428f, 0.0117647059f};
    const float amounts[2] = {1, float(2 / 1.33)};
    const uint32_t width = 4, height = 3;
    std::vector<float> image(width * height * 4);
    for (uint32_t i = 0; i < width * height; ++i) {
        std::fill_n(image.begin() + i * 4, 3, 0.1f + 0.05f * (i % width) + 0.2f * (i / width));
        image[i * 4 + 3] = static_cast<float>(i);
    }
    auto at = [&](int x, int y) {
        return image[(std::clamp(y, 0, 2) * width + std::clamp(x, 0, 3)) * 4];
    };
    const RgbaRows source{image.data(), width, height, width * 4};
    const std::string lightnessKey =
        kRedKey + "enableHLS1.x=0 enableHLS1.y=1 middleHLS1.y=0 toleranceHLS1.y=1 ";
    for (int wide = 0; wide < 2; ++wide) {
        const std::string blur = std::to_string(1 + wide);
        const BaseLayer layer(lightnessKey + "blur123.x=" + blur + " blur123.y=" + blur +
                              " blur123.z=" + blur);
        const std::unique_ptr<PixelStage> stage = layer.Pass("VEXLAN.Base.2");
        EXPECT_STREQ(stage->KernelName(),
                     wide ? "Base.2[Blur5x5,Keys123]" : "Base.2[Blur3x3,Keys123]");
        ASSERT_TRUE(stage->ReadsNeighbours());
        std::vector<float> out(width * 4);
        for (uint32_t y = 0; y < height; ++y) {
            stage->ProcessRowWithNeighbours(source, y, out.data());
            for (uint32_t x = 0; x < width; ++x) {
                float sum = 0;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx)
                        sum += weights[wide][dy + 2][dx + 2] * at(x + dx, y + dy);
                const float p = at(x, y);
                const float key = p + amounts[wide] * (sum * factors[wide] - p);
                for (int k = 0; k < 3; ++k)
                    EXPECT_NEAR(out[x * 4 + k], p * (2 - key * 1023 / 1024), 1e-6) << x << "," << y;
                EXPECT_EQ(out[x * 4 + 3], float(y * width + x));
            }
        }
    }
    EXPECT_FALSE(BaseLayer(kRedKey).Pass("VEXLAN.Base.2")->ReadsNeighbours());
    EXPECT_FALSE(BaseLayer("blur123.x=1").Pass("VEXLAN.Base.2")->ReadsNeighbours());
}

} // namespace
