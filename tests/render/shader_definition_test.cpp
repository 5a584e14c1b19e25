#include "render/base_shader_definition.h"
#include "render/shader_definition.h"
#include "render/shader_lookups.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(BaseShaderDefinition, ParsesIntoALayer) {
    ShaderDefinition definition;
    ASSERT_TRUE(definition.Parse(BaseShaderDefinitionText(true))) << definition.Message().c_str();
    EXPECT_STREQ(definition.Name().c_str(), "VEXLAN.Base.1");
    EXPECT_STREQ(definition.SecondPass().c_str(), "VEXLAN.Base.2");
    ASSERT_EQ(definition.TextureLists().size(), 2u);
    EXPECT_STREQ(definition.TextureLists()[0].name.c_str(), "MatrixLUT");
    EXPECT_EQ(definition.TextureLists()[0].unit, 6u);
    EXPECT_EQ(definition.TextureLists()[1].unit, 3u);
    EXPECT_TRUE(definition.TextureLists()[1].isExtern);
    ASSERT_EQ(definition.LookupTables().size(), 1u);
    EXPECT_EQ(definition.LookupTables()[0].Unit(), 5u);
    EXPECT_EQ(definition.LookupTables()[0].RowCount(), 7u);
    EXPECT_EQ(definition.LookupTables()[0].Lookups().size(), 7u);
    EXPECT_EQ(definition.Externs().size(), 8u + 4 * 9 + 6 * 12 + 15);

    const ShaderExtern* pivot = definition.FindExtern("PIVOTMID");
    ASSERT_NE(pivot, nullptr);
    EXPECT_TRUE(pivot->noop);
    EXPECT_EQ(pivot->defaults[0], 0.5);
    const ShaderExtern* matrix = definition.FindExtern("matrixG.y");
    ASSERT_NE(matrix, nullptr);
    EXPECT_EQ(matrix->componentCount, 4u);
    EXPECT_EQ(matrix->defaults[1], 1.0);
    EXPECT_EQ(definition.Script().Get("middleHLS4.x", -1), 180);
}

struct Derivation {
    const char* name;
    std::vector<ShaderParameterValue> parameters;
    std::vector<std::pair<const char*, double>> expected;
};

TEST(BaseShaderDefinition, ScriptDerivesWorkingValues) {
    const double third = 2 / 1.33;
    const Derivation cases[] = {
        {"printer lights",
         {{"PrinterLights.x", 1}, {"PrinterLights.z", -1}},
         {{"gain.x", 2}, {"gain.y", 1}, {"gain.z", 0.5}, {"offset.x", 0}}},
        {"log printer lights",
         {{"PrinterLights.x", 1}, {"PrinterLights.z", -1}, {"LogPrinterLights", 1}},
         {{"gain.x", 1},
          {"gain.z", 1},
          {"offset.x", 1},
          {"offset.y", 0},
          {"offset.z", -1},
          {"offsetHigh.x", 1}}},
        {"gray out low to white", {{"GrayOutLow", 3}}, {{"offsetLow.y", 1}, {"gainLow.x", 0}}},
        {"neutral gray", {{"NeutralGray", 50}, {"GrayOut1", 2}}, {{"offset1.y", 0.5}}},
        {"wide blur",
         {{"blur123.x", 2}, {"blur456.y", 0.5}},
         {{"normBlur123.x", third}, {"normBlur123.y", 0}, {"normBlur456.y", 0.5 / 1.33}}},
        {"contrast",
         {{"Contrast", 1}},
         {{"Contrast", 2}, {"gain.x", 2}, {"offset.y", -0.5}, {"offsetLow.y", -0.5}}},
        {"gamma",
         {{"gamma.y", 1}, {"gammaMid.y", -0.5}},
         {{"gammaLow.y", 3}, {"gammaMid.y", std::sqrt(3.0)}}},
        {"ranges",
         {{"ContrastRange", 0.2}, {"GainRange", 2}},
         {{"ContrastRange", 2}, {"GainRange", 4}}},
        {"saturation",
         {{"Saturation", 0.5}, {"saturationLMH.y", 2}},
         {{"saturationLMH.x", 0.5}, {"saturationLMH.y", 1}}},
        {"undeclared and texture names are ignored",
         {{"TempGain.x", 9}, {"BaseLUT", 3}, {"Secondary", 4}},
         {{"gain.x", 1}}},
    };
    for (const Derivation& c : cases) {
        ShaderDefinition definition;
        ASSERT_TRUE(definition.Parse(BaseShaderDefinitionText(true)));
        ASSERT_TRUE(definition.Bind(c.parameters))
            << c.name << ": " << definition.Message().c_str();
        // Parameters reach every later run, not only the first.
        ASSERT_TRUE(definition.RunScript());
        for (const auto& [name, value] : c.expected)
            EXPECT_NEAR(definition.Script().Get(name, -999), value, 1e-12) << c.name << " " << name;
    }
}

struct RowCase {
    const char* name;
    std::vector<ShaderParameterValue> parameters;
    uint32_t row;
    uint32_t entry;
    float rgb[3];
};

TEST(ShaderLookups, RowsOfTheBaseTable) {
    const RowCase cases[] = {
        {"low end", {}, 0, 0, {1, 0, 0}},
        {"middle", {}, 0, 512, {0, 1, 0}},
        {"high end", {}, 0, 1023, {0, 1 - 0.998046875f, 0.998046875f}},
        {"quarter", {{"lowMid", 0.25}}, 0, 128, {0.5, 0.5, 0}},
        {"no split", {{"lowMid", 0}, {"midHigh", 1}}, 0, 1, {0, 1, 0}},
        {"enabled, zero range", {}, 3, 512, {0, 0, 0}},
        {"disabled",
         {{"enableHLS1.x", 0}, {"enableHLS1.y", 0}, {"enableHLS1.z", 0}},
         1,
         700,
         {1, 0, 0}},
        {"disabled lightness", {{"enableHLS5.y", 0}}, 5, 3, {0, 1, 0}},
        // 1000 stands for 351.5625 degrees, 18.4375 from a middle of 10
        {"hue wraps",
         {{"middleHLS1.x", 10}, {"rangeHLS1.x", 10}, {"toleranceHLS1.x", 10}},
         1,
         1000,
         {0.15625f, 0, 0}},
        {"inside the range", {{"middleHLS2.y", 0.5}, {"rangeHLS2.y", 0.25}}, 2, 600, {0, 1, 0}},
    };
    for (const RowCase& c : cases) {
        ShaderDefinition definition;
        ASSERT_TRUE(definition.Parse(BaseShaderDefinitionText(true)));
        definition.Bind(c.parameters);
        const ShaderLookupTable* table = definition.FindLookupTable("LUT1");
        ASSERT_NE(table, nullptr);
        const float* entry = table->Row(c.row) + c.entry * 4;
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(entry[k], c.rgb[k], 1e-6) << c.name << " channel " << k;
    }
}

TEST(ShaderLookups, WholeRowsAndRecomputation) {
    ShaderDefinition definition;
    ASSERT_TRUE(definition.Parse(BaseShaderDefinitionText(true)));
    ASSERT_TRUE(definition.Bind({{"enableHLS4.x", 0}, {"enableHLS4.y", 0}, {"enableHLS4.z", 0}}));
    const ShaderLookupTable& table = definition.LookupTables()[0];
    for (uint32_t i = 0; i < ShaderLookupTable::kEntries; ++i) {
        ASSERT_EQ(table.Row(4)[i * 4 + 1], 0.0f) << i; // secondary 5 enabled: zero range
        ASSERT_EQ(table.Row(4)[i * 4 + 0], 1.0f) << i; // secondary 4 disabled
        ASSERT_EQ(table.Row(6)[i * 4 + 0], 1.0f) << i;
        ASSERT_EQ(table.Row(2)[i * 4 + 2], 0.0f) << i;
    }
    ShaderLookupTable& mutableTable = const_cast<ShaderLookupTable&>(table);
    EXPECT_FALSE(mutableTable.Update(definition.Script()));
    definition.SetParameter("midHigh", 0.75);
    ASSERT_TRUE(definition.RunScript());
    EXPECT_TRUE(mutableTable.Update(definition.Script()));
    EXPECT_FALSE(mutableTable.Update(definition.Script()));
    EXPECT_FLOAT_EQ(table.Row(0)[1023 * 4 + 2], (1023.0f / 1024 - 0.75f) * 4);
}

TEST(ShaderLookups, RecomputedOnlyWhenAVariableTheyReadChanges) {
    const struct {
        const char* label;
        const char* tableElements;
        bool recomputed;
    } cases[] = {
        {"a table without lookups", "<lut name=\"t\" unit=\"1\"/>", false},
        {"a lookup of gain",
         "<lut name=\"t\" unit=\"1\"/><lookup lut=\"t\" function=\"gamma\" "
         "swizzle=\"0r,0g,0b\" variables=\"gain\"/>",
         true},
        {"a lookup of another variable",
         "<lut name=\"t\" unit=\"1\"/><lookup lut=\"t\" "
         "function=\"gamma\" swizzle=\"0r,0g,0b\" variables=\"other\"/>",
         false},
    };
    for (const auto& c : cases) {
        ShaderDefinition definition;
        ASSERT_TRUE(
            definition.Parse(CVxString("<shader name=x><extern name=\"gain\" default=\"1,1,1\"/>"
                                       "<extern name=\"other\" default=\"0\"/>") +
                             c.tableElements + "</shader>"))
            << c.label;
        ASSERT_TRUE(definition.Bind({}));
        auto& table = const_cast<ShaderLookupTable&>(*definition.FindLookupTable("t"));
        EXPECT_FALSE(table.Update(definition.Script())) << c.label;
        ASSERT_TRUE(definition.SetParameter("gain.x", 2));
        EXPECT_EQ(table.Update(definition.Script()), c.recomputed) << c.label;
        EXPECT_FALSE(table.Update(definition.Script())) << c.label;
    }
}

TEST(ShaderDefinition, ReadsTheMarkup) {
    const CVxString text =
        "<!-- a comment <extern name=\"ignored\"> -->\n"
        "<SHADER Name=Custom.One secondPass=\"Custom.Two\" BYPASSLUT=0>\n"
        "<Extern name=\"gain\" default=\"0.5, 2\" noop=yes/>\n"
        "<extern name=\"lift.z\" default=\"4, 5\">\n"
        "<extern name=\"__AlphaMask\" default=\"2\">\n"
        "<extern name=\"plain\">\n"
        "<texture name=\"grain\" unit=\"2\" type=\"2d\" wrap=\"repeat\" wrapy=\"clamp\" "
        "interpolate=\"0\"/>\n"
        "<lut name=\"table\" unit=\"4\"/>\n"
        "<lookup lut=\"table\" function=\"gamma\" swizzle=\"2r, 2g, 2b\" variables=\"gain\"/>\n"
        "<lookup lut=\"table\" function=\"Unknown\" swizzle=\"7r,7g,7b\" variables=\"gain\"/>\n"
        "<lookup lut=\"missing\" function=\"Gamma\" swizzle=\"1r,1g,1b\" variables=\"gain\"/>\n"
        "<SLIDER name=\"amount\" default=\"3, 9\"/>\n"
        "<PrinterLights name=\"lights\" default=\"1, 1, 1, 9\"/>\n"
        "<RANGEWHEEL name=\"mid\" enable=\"on\" range=\"wide\" tolerance=\"soft\" "
        "invert=\"flip\" defaultrange=\"1,2,3\"/>\n"
        "<HWVECTOR name=\"k1,k2,k3\" default=\"5,6,7\"/>\n"
        "<VEXLANScript> out = gain.y * 2 + plain; if (amount > 2) { out2 = lights.z; } "
        "</vexlanscript>\n"
        "</shader>\n";
    ShaderDefinition definition;
    ASSERT_TRUE(definition.Parse(text)) << definition.Message().c_str();
    EXPECT_STREQ(definition.Name().c_str(), "Custom.One");
    EXPECT_STREQ(definition.SecondPass().c_str(), "Custom.Two");
    EXPECT_FALSE(definition.BypassLUT());
    EXPECT_FALSE(definition.NoopWhenDefault());
    ASSERT_EQ(definition.Textures().size(), 1u);
    EXPECT_EQ(definition.Textures()[0].unit, 2u);
    ASSERT_NE(definition.FindLookupTable("table"), nullptr);
    EXPECT_EQ(definition.FindLookupTable("table")->RowCount(), 3u);
    EXPECT_EQ(definition.FindLookupTable("table")->Lookups().size(), 1u);
    EXPECT_EQ(definition.FindExtern("ignored"), nullptr);
    EXPECT_EQ(definition.FindExtern("__alphamask"), nullptr);
    EXPECT_TRUE(definition.FindExtern("gain")->noop);

    const std::pair<const char*, double> declared[] = {
        {"gain.x", 0.5}, {"gain.y", 2}, {"lift.z", 4},       {"lift.x", 0},   {"lift.w", 0},
        {"plain", 1},    {"amount", 3}, {"amount.y", 0},     {"lights.y", 1}, {"lights.w", 0},
        {"mid.x", 180},  {"on.z", 1},   {"wide.y", 2},       {"soft.x", 0},   {"flip.z", 0},
        {"k2", 6},       {"k3", 7},     {"__alphamask", -1},
    };
    for (const auto& [name, value] : declared)
        EXPECT_EQ(definition.Script().Get(name, -1), value) << name;

    ASSERT_TRUE(definition.Bind({{"lights.z", 8}, {"GAIN.Y", 3}}));
    EXPECT_EQ(definition.Script().Get("out", -1), 7);
    EXPECT_EQ(definition.Script().Get("out2", -1), 8);
    // Gamma row: t^g - t at t = 0.25 with g = (0.5, 3, 0)
    const float* row = definition.FindLookupTable("table")->Row(2);
    EXPECT_FLOAT_EQ(row[256 * 4 + 0], 0.25f);
    EXPECT_FLOAT_EQ(row[256 * 4 + 1], 0.25f * 0.25f * 0.25f - 0.25f);
    EXPECT_FLOAT_EQ(row[256 * 4 + 2], 0.75f);
}

TEST(ShaderDefinition, Failures) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"<extern name=\"a\">", "No shader element in the definition."},
        {"<shader name=x><VEXLANScript> a = ; </VEXLANScript>", "Expression expected."},
        {"<shader name=x><VEXLANScript> a = 1", "Missing semicolon."},
    };
    for (const auto& c : cases) {
        ShaderDefinition definition;
        EXPECT_FALSE(definition.Parse(c.text)) << c.text;
        EXPECT_STREQ(definition.Message().c_str(), c.message);
    }
    ShaderDefinition failing;
    ASSERT_TRUE(failing.Parse("<shader name=x><VEXLANScript> a = 1; b = a / 0; c = 2;"));
    EXPECT_FALSE(failing.RunScript());
    EXPECT_STREQ(failing.Message().c_str(),
                 "An error occured while executing script: Division by zero.");
    EXPECT_EQ(failing.Script().Get("a", -1), 1);
    EXPECT_EQ(failing.Script().Get("c", -1), 0);
}

} // namespace
