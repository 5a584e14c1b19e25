#include "render/base_shader_definition.h"
#include "render/resource_archive.h"
#include "render/shader_definition.h"
#include "render/shader_lookups.h"
#include "render/shader_registry.h"

#include "../support/scratch_folder.h"
#include "pixel_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// What a parsed definition declares, in one line.
std::string Shape(const ShaderDefinition& d) {
    std::ostringstream out;
    out << d.Name().c_str() << ">" << d.SecondPass().c_str() << " bypass " << d.BypassLUT()
        << " noop " << d.NoopWhenDefault() << " externs " << d.Externs().size() << " noop "
        << std::count_if(d.Externs().begin(), d.Externs().end(), [](auto& e) { return e.noop; });
    for (const ShaderTextureList& list : d.TextureLists())
        out << " list " << list.name.c_str() << ":" << list.unit
            << (list.isExtern ? " extern" : "");
    for (const ShaderTexture& t : d.Textures())
        out << " texture " << t.name.c_str() << ":" << t.unit << " type " << int(t.type)
            << " repeat " << t.repeat[0] << t.repeat[1] << t.repeat[2] << " interpolate "
            << t.interpolate;
    for (const ShaderLookupTable& table : d.LookupTables())
        out << " lut " << table.Name().c_str() << ":" << table.Unit() << " rows "
            << table.RowCount() << " lookups " << table.Lookups().size();
    return out.str();
}

TEST(BaseShaderDefinition, ParsesIntoALayer) {
    ShaderDefinition definition;
    ASSERT_TRUE(definition.Parse(BaseShaderDefinitionText(true))) << definition.Message().c_str();
    // Noop: LogPrinterLights, 4 pivots, 6 x 5 per secondary, 2 blurs, 2 inverts,
    // 3 luminance weights and the 6 range settings.
    EXPECT_EQ(Shape(definition), "VEXLAN.Base.1>VEXLAN.Base.2 bypass 1 noop 1 externs 131 noop 48 "
                                 "list MatrixLUT:6 extern list BaseLUT:3 extern lut lut1:5 rows 7 "
                                 "lookups 7");
}

// The lookup entries named in `expected` ("row:entry=r,g,b"), written the same way.
std::string Entries(const ShaderLookupTable& table, const std::string& expected) {
    return WithActual(expected, [&](const std::string& where) {
        return Rgb3(table.Row(std::stoul(where)) +
                    std::stoul(where.substr(where.find(':') + 1)) * 4);
    });
}

TEST(BaseShaderDefinition, ParametersGiveWorkingValuesAndLookupRows) {
    const char* const cases[][3] = {
        // The layer's parameters, working values and lookup entries they give.
        {"", "PIVOTMID=0.5 matrixG.y=1 matrixG.w=0 middleHLS4.x=180",
         "0:0=1,0,0 0:512=0,1,0 0:1023=0,0.00195312,0.998047 3:512=0,0,0"},
        {"PrinterLights.x=1 PrinterLights.z=-1", "gain.x=2 gain.y=1 gain.z=0.5 offset.x=0", ""},
        {"PrinterLights.x=1 PrinterLights.z=-1 LogPrinterLights=1",
         "gain.x=1 gain.z=1 offset.x=1 offset.y=0 offset.z=-1 offsetHigh.x=1", ""},
        {"GrayOutLow=3", "offsetLow.y=1 gainLow.x=0", ""},
        {"NeutralGray=50 GrayOut1=2", "offset1.y=0.5", ""},
        {"blur123.x=2 blur456.y=0.5",
         "normBlur123.x=1.503759398 normBlur123.y=0 normBlur456.y=0.3759398496", ""},
        {"Contrast=1", "Contrast=2 gain.x=2 offset.y=-0.5 offsetLow.y=-0.5", ""},
        {"gamma.y=1 gammaMid.y=-0.5", "gammaLow.y=3 gammaMid.y=1.732050808", ""},
        {"ContrastRange=0.2 GainRange=2", "ContrastRange=2 GainRange=4", ""},
        {"Saturation=0.5 saturationLMH.y=2", "saturationLMH.x=0.5 saturationLMH.y=1", ""},
        // Undeclared and texture names are ignored.
        {"TempGain.x=9 BaseLUT=3 Secondary=4", "gain.x=1", ""},
        {"lowMid=0.25", "", "0:128=0.5,0.5,0"},
        {"midHigh=0.75", "", "0:1023=0,0.00390625,0.996094"},
        {"lowMid=0 midHigh=1", "", "0:1=0,1,0"},
        {"enableHLS1.x=0 enableHLS1.y=0 enableHLS1.z=0", "", "1:700=1,0,0"},
        {"enableHLS5.y=0", "", "5:3=0,1,0"},
        // 1000 stands for 351.5625 degrees, 18.4375 from a middle of 10
        {"middleHLS1.x=10 rangeHLS1.x=10 toleranceHLS1.x=10", "", "1:1000=0.15625,0,0"},
        // 526 stands for 184.921875 degrees, 175.078125 the short way round from 0
        {"middleHLS1.x=0 rangeHLS1.x=170 toleranceHLS1.x=10", "", "1:526=0.492188,0,0"},
        {"middleHLS2.y=0.5 rangeHLS2.y=0.25", "", "2:600=0,1,0"},
    };
    for (const auto& [parameters, values, entries] : cases) {
        ShaderDefinition definition;
        ASSERT_TRUE(definition.Parse(BaseShaderDefinitionText(true)));
        ASSERT_TRUE(definition.Bind(Params(parameters))) << definition.Message().c_str();
        // Parameters reach every later run, not only the first.
        ASSERT_TRUE(definition.RunScript());
        EXPECT_EQ(ScriptValues(definition.Script(), values), values) << parameters;
        EXPECT_EQ(Entries(*definition.FindLookupTable("LUT1"), entries), entries) << parameters;
    }
}

TEST(ShaderLookups, RecomputedOnlyWhenAVariableTheyReadChanges) {
    const char* const gamma = "function=\"gamma\" swizzle=\"0r,0g,0b\"";
    ShaderDefinition definition;
    ASSERT_TRUE(definition.Parse(
        CVxString("<shader name=x><extern name=\"gain\" default=\"1,1,1\"/><extern name=\"other\" "
                  "default=\"0\"/><lut name=\"none\"/><lut name=\"gain\"/><lut name=\"other\"/>"
                  "<lookup lut=\"gain\" variables=\"gain\" ") +
        gamma + "/><lookup lut=\"other\" variables=\"other\" " + gamma + "/></shader>"));
    ASSERT_TRUE(definition.Bind({}));
    auto recomputed = [&definition] {
        std::string names;
        for (const ShaderLookupTable& table : definition.LookupTables())
            if (const_cast<ShaderLookupTable&>(table).Update(definition.Script()))
                names += table.Name().c_str();
        return names;
    };
    EXPECT_EQ(recomputed(), "");
    ASSERT_TRUE(definition.SetParameter("gain.x", 2));
    EXPECT_EQ(recomputed(), "gain");
    EXPECT_EQ(recomputed(), "");
    EXPECT_EQ(Entries(*definition.FindLookupTable("gain"), "0:256=-0.1875,0,0"),
              "0:256=-0.1875,0,0");
}

TEST(ShaderDefinition, ReadsTheMarkup) {
    const CVxString text =
        "<!-- a comment <extern name=\"ignored\"> -->\n"
        "<SHADER Name=Custom.One secondPass=\"Custom.Two\" BYPASSLUT=0>\n"
        "<Extern name=\"gain\" default=\"0.5, 2\" noop=yes/>\n"
        "<extern name=\"lift.z\" default=\"4, 5\">\n<extern name=\"plain\">\n"
        "<extern name=\"__AlphaMask\" default=\"2\">\n<lut name=\"table\" unit=\"4\"/>\n"
        "<texture name=\"grain\" unit=\"2\" type=\"2d\" wrap=\"repeat\" wrapy=\"clamp\" "
        "interpolate=\"0\"/>\n"
        "<lookup lut=\"table\" function=\"gamma\" swizzle=\"2r, 2g, 2b\" variables=\"gain\"/>\n"
        "<lookup lut=\"table\" function=\"Unknown\" swizzle=\"7r,7g,7b\" variables=\"gain\"/>\n"
        "<lookup lut=\"missing\" function=\"Gamma\" swizzle=\"1r,1g,1b\" variables=\"gain\"/>\n"
        "<SLIDER name=\"amount\" default=\"3, 9\"/>\n"
        "<PrinterLights name=\"lights\" default=\"1, 1, 1, 9\"/>\n"
        "<RANGEWHEEL name=\"mid\" enable=\"on\" range=\"wide\" tolerance=\"soft\" "
        "invert=\"flip\" defaultrange=\"1,2,3\"/>\n"
        "<HWVECTOR name=\"k1,k2,k3\" default=\"5,6,7\"/>\n"
        "<VEXLANScript> out = gain.y * 2 + plain; if (amount > 2) { out2 = lights.z; } "
        "</vexlanscript>\n</shader>\n";
    ShaderDefinition definition;
    ASSERT_TRUE(definition.Parse(text)) << definition.Message().c_str();
    EXPECT_EQ(Shape(definition), "Custom.One>Custom.Two bypass 0 noop 0 externs 13 noop 1 texture "
                                 "grain:2 type 1 repeat 101 interpolate 0 lut table:4 rows 3 "
                                 "lookups 1");
    const std::string declared = "gain.x=0.5 gain.y=2 lift.z=4 lift.x=0 lift.w=0 plain=1 amount=3 "
                                 "amount.y=0 lights.y=1 lights.w=0 mid.x=180 on.z=1 wide.y=2 "
                                 "soft.x=0 flip.z=0 k2=6 k3=7 ignored=-999 __alphamask=-999";
    EXPECT_EQ(ScriptValues(definition.Script(), declared), declared);

    ASSERT_TRUE(definition.Bind(Params("lights.z=8 GAIN.Y=3")));
    EXPECT_EQ(ScriptValues(definition.Script(), "out=7 out2=8"), "out=7 out2=8");
    // Gamma row: t^g - t at t = 0.25 with g = (0.5, 3, 0)
    const std::string gammaRow = "2:256=0.25,-0.234375,0.75";
    EXPECT_EQ(Entries(*definition.FindLookupTable("table"), gammaRow), gammaRow);
}

TEST(ShaderDefinition, Failures) {
    const char* const cases[][2] = {
        {"<extern name=\"a\">", "No shader element in the definition."},
        {"<shader name=x><VEXLANScript> a = ; </VEXLANScript>", "Expression expected."},
        {"<shader name=x><VEXLANScript> a = 1", "Missing semicolon."},
    };
    for (const auto& [text, message] : cases) {
        ShaderDefinition definition;
        EXPECT_FALSE(definition.Parse(text)) << text;
        EXPECT_STREQ(definition.Message().c_str(), message);
    }
    ShaderDefinition failing;
    ASSERT_TRUE(failing.Parse("<shader name=x><VEXLANScript> a = 1; b = a / 0; c = 2;"));
    EXPECT_FALSE(failing.RunScript());
    EXPECT_STREQ(failing.Message().c_str(),
                 "An error occured while executing script: Division by zero.");
    EXPECT_EQ(ScriptValues(failing.Script(), "a=1 c=0"), "a=1 c=0");
}

TEST(ShaderRegistry, ScansSubfoldersExceptLegacy) {
    ScratchFolder root;
    root.Write("Grades/warm.vxtp",
               "<!-- <shader name=\"Commented.Out\"> -->\n<shader name=\"Studio.Warm\">\n"
               "<extern name=\"amount\" default=\"1\"/>\n</shader >\n  per-pixel stage  \n");
    root.Write("Grades/cool.afp", "<Shader Name=Studio.Cool></Shader>");
    root.Write("Grades/unnamed.nfp", "<shader secondpass=\"x\">");
    root.Write("Grades/garbage.nfp", "no markup at all");
    root.Write("Grades/notes.txt", "<shader name=\"Studio.Text\">");
    root.Write("LEGACY/old.vxtp", "<shader name=\"Old.One\">");
    root.Write("top.vxtp", "<shader name=\"Top.Level\">");

    SystemFileAccess files;
    CVxShaderRegistry registry(files, CVxString(root.Drive().c_str()));
    const ShaderPackage* warm = registry.Find("STUDIO.WARM");
    ASSERT_NE(warm, nullptr);
    EXPECT_STREQ(warm->stage.c_str(), "per-pixel stage");
    EXPECT_TRUE(warm->folder.EndsWith("\\Grades\\"));
    EXPECT_TRUE(CVxString(warm->definition).EndsWith("</shader >"));
    // A package without a name is known by its file name; the base shaders are built in.
    std::string found;
    for (const char* name :
         {"studio.cool", "Unnamed", "Old.One", "Top.Level", "Studio.Text", "Commented.Out",
          "garbage", "VEXLAN.Base.1", "vexlan.base.2", "VEXLAN.LUT.3D", "VEXLAN.Base"}) {
        ShaderSource source;
        if (registry.FindSource(name, source))
            found += std::string(name) + (source.builtIn ? " (built in) " : " ");
        EXPECT_EQ(source.builtIn, source.definition == &BaseShaderDefinitionText(true)) << name;
    }
    EXPECT_EQ(found, "studio.cool Unnamed VEXLAN.Base.1 (built in) vexlan.base.2 (built in) ");
    EXPECT_EQ(
        CVxShaderRegistry(files, CVxString(root.Drive("nowhere").c_str())).Find("Studio.Warm"),
        nullptr);
}

std::string Word(uint32_t value) {
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

// Header, one directory entry (tag, the name "a" padded to 32 bytes, data
// offset), then `dataBytes` bytes counting up from 0.
std::string ArchiveBytes(uint32_t version, uint32_t announced, const char* tag, uint32_t offset,
                         size_t dataBytes) {
    std::string out =
        "VXRF" + Word(version) + Word(announced) + tag + "a" + std::string(31, '\0') + Word(offset);
    for (size_t i = 0; i < dataBytes; ++i)
        out.push_back(static_cast<char>(i));
    return out;
}

// The program only asks whether its archive opens: a file of our format with
// at least one entry in its directory. A missing file or one without entries
// is left to the program's start-up tests.
TEST(ResourceArchive, OpensOnlyOurFormatWithEntries) {
    ScratchFolder folder;
    const struct {
        const char* label;
        std::string bytes;
        bool opens;
    } cases[] = {
        {"one entry", ArchiveBytes(100, 1, "DATA", 52, 8), true},
        {"a font", ArchiveBytes(100, 1, "FONT", 52, 8), true},
        // The directory ends with the file; the entries read so far count.
        {"fewer entries than announced", ArchiveBytes(100, 3, "DATA", 200, 0), true},
        {"billions announced", ArchiveBytes(100, 0xFFFFFFFFu, "DATA", 52, 0), true},
        {"empty", "", false},
        {"short header", std::string("VXRF\x64\x00", 6), false},
        {"version 99", ArchiveBytes(99, 1, "DATA", 52, 8), false},
        {"version 101", ArchiveBytes(101, 1, "DATA", 52, 8), false},
        {"foreign magic", "FRXV" + ArchiveBytes(100, 1, "DATA", 52, 8).substr(4), false},
    };
    int index = 0;
    SystemFileAccess files;
    for (const auto& c : cases) {
        const std::string path = folder.Write("case" + std::to_string(index++), c.bytes);
        EXPECT_EQ(ResourceArchive::Open(files, CVxString(path.c_str())) != nullptr, c.opens)
            << c.label;
    }
}

} // namespace
