#include "render/base_grading.h"

#include "base_layer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

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

} // namespace
