#include "inspect/file_description.h"

#include "foundation/paths.h"
#include "look/look_elements.h"
#include "look/look_reader.h"
#include "look/parsed_look.h"
#include "lut/load_failure.h"
#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "render/compositing_engine.h"
#include "render/look_character.h"
#include "render/render_environment.h"
#include "render/shader_definition.h"
#include "render/shader_registry.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// A parameter's component: X, Y, Z, W (or R, G, B, A) after the last dot; none
// is the first one the definition gives.
int ComponentOf(const CVxString& name, CVxString& stem) {
    const int dot = name.ReverseFind('.');
    stem = dot < 0 ? name : name.Left(static_cast<uint32_t>(dot));
    if (dot < 0 || static_cast<uint32_t>(dot) + 2 != name.Length())
        return -1;
    switch (name[static_cast<uint32_t>(dot) + 1] | 0x20) {
    case 'x':
    case 'r':
        return 0;
    case 'y':
    case 'g':
        return 1;
    case 'z':
    case 'b':
        return 2;
    case 'w':
    case 'a':
        return 3;
    default:
        stem = name;
        return -1;
    }
}

// Whether a numeric parameter has the default that the shader's definition declares.
bool IsDefinitionDefault(const ShaderDefinition* definition, const CVxShaderParam& param) {
    if (!definition || !param.IsDouble)
        return false;
    CVxString stem;
    int component = ComponentOf(param.Name, stem);
    const ShaderExtern* declared = definition->FindExtern(stem);
    if (!declared)
        return false;
    if (component < 0)
        component = static_cast<int>(declared->firstComponent);
    const int index = component - static_cast<int>(declared->firstComponent);
    return index >= 0 && index < static_cast<int>(declared->componentCount) &&
           std::fabs(param.dValue - declared->defaults[index]) <= 1e-9;
}

ParameterValue ValueOf(const CVxShaderParam& param) {
    ParameterValue value;
    value.name = param.Name.c_str();
    value.isNumber = param.IsDouble;
    value.number = param.dValue;
    value.text = param.FileText().c_str();
    return value;
}

std::vector<ParameterValue> ChangedParameters(const CVxShaderParamStorage& layer, bool isBase,
                                              const ShaderDefinition* definition) {
    std::vector<ParameterValue> changed;
    for (uint32_t index = 0; index < layer.ParamCount(); ++index) {
        const CVxShaderParam& param = *layer.GetParam(index);
        const bool isDefault = isBase ? IsOmittedBaseParam(param)
                                      : param.EqualsDefault() ||
                                            IsDefinitionDefault(definition, param) ||
                                            (!param.IsDouble && param.Value.IsEmpty());
        if (!isDefault)
            changed.push_back(ValueOf(param));
    }
    return changed;
}

LayerDescription DescribeLayer(const CVxShaderParamStorage& layer,
                               const CVxShaderRegistry& shaders) {
    LayerDescription described;
    described.shader = layer.Name().c_str();
    described.enabled = layer.Enabled();
    described.visible = layer.Visible();
    described.opacity = layer.Opacity();
    ShaderSource source;
    ShaderDefinition definition;
    const bool known = shaders.FindSource(layer.Name(), source) && source.definition &&
                       definition.Parse(*source.definition);
    described.parameters = ChangedParameters(layer, false, known ? &definition : nullptr);
    return described;
}

// Each LUT file that a layer names, once, with where the render finds it.
std::vector<NamedLutFile> LutFilesOf(const CVxGradingParamStorage& grading,
                                     const CVxShaderRegistry& shaders, const LutFiles& luts,
                                     const CVxString& lookFolder) {
    std::vector<NamedLutFile> files;
    for (const CVxShaderParamStorage* layer : LayersOf(grading)) {
        ShaderSource source;
        if (!layer || !shaders.FindSource(layer->Name(), source))
            source.packageFolder.Empty();
        for (uint32_t index = 0; layer && index < layer->ParamCount(); ++index) {
            const CVxShaderParam* param = layer->GetParam(index);
            if (!NamesLutFile(param->Name) || param->Value.IsEmpty() || param->Value == "*")
                continue;
            const std::string name = param->Value.c_str();
            if (std::any_of(files.begin(), files.end(),
                            [&name](const NamedLutFile& file) { return file.name == name; }))
                continue;
            const CVxString resolved = luts.Resolve(param->Value, source.packageFolder,
                                                    ELutNameOrder::eIndexFirst, lookFolder);
            files.push_back(
                {name, FileExists(luts.files, resolved) ? PathForPeople(resolved) : std::string()});
        }
    }
    return files;
}

LookDescription DescribeLook(const ParsedLook& look, const CVxShaderRegistry& shaders,
                             const LutFiles& luts, const CVxString& folder) {
    const CVxGradingParamStorage& grading = look.grading;
    LookDescription described;
    for (uint32_t index = 0; index < grading.LayerCount(); ++index)
        if (const CVxShaderParamStorage* layer = grading.Layer(index)) {
            described.layers.push_back(DescribeLayer(*layer, shaders));
            // The base's values are told per sublayer below.
            if (grading.IsBaseLayer(index))
                described.layers.back().parameters.clear();
        }
    for (uint32_t k = 0; k < grading.BaseSublayerCount(); ++k)
        described.base.push_back(ChangedParameters(*grading.BaseSublayer(k), true, nullptr));
    CVxSoftwareCompositingEngine engine(RenderEnvironment{shaders, luts});
    const LookChannels channels = DescribeLookChannels(engine, grading, luts, folder);
    described.perChannel = channels.perChannel;
    described.cdl = channels.cdl;
    if (channels.cdlRefusal)
        described.cdlRefusal = channels.cdlRefusal;
    described.lutFiles = LutFilesOf(grading, shaders, luts, folder);
    described.storedLutSize = look.storedSize;
    const RenderedLattice probe =
        RenderLattice(engine, grading, LatticeRequest{.size = 2, .lookFolder = folder});
    described.renders = probe.nodes != nullptr;
    if (!described.renders) {
        described.renderFailures =
            RenderFailureCauses(probe.failure, grading, shaders, luts, folder);
        described.fallsBackToStoredLut = look.storedSize > 0;
    }
    return described;
}

TableDescription DescribeTable(const CVxLUT& table) {
    TableDescription described;
    described.is3D = table.m_is3D;
    described.size = table.m_size;
    std::copy(table.m_domainMin, table.m_domainMin + 3, described.inputMin);
    std::copy(table.m_domainMax, table.m_domainMax + 3, described.inputMax);
    return described;
}

LutDescription DescribeLut(const CVxLUT& lut, const LutFormat& format) {
    LutDescription described;
    described.format = std::string(format.name);
    described.table = DescribeTable(lut);
    if (lut.m_preLUT) {
        described.shaper = DescribeTable(*lut.m_preLUT);
        // The whole transform takes its inputs in the shaper's range.
        std::copy(lut.m_preLUT->m_domainMin, lut.m_preLUT->m_domainMin + 3,
                  described.table.inputMin);
        std::copy(lut.m_preLUT->m_domainMax, lut.m_preLUT->m_domainMax + 3,
                  described.table.inputMax);
    }
    const size_t entries = lut.FloatCount() / 4;
    for (int c = 0; c < 3; ++c) {
        float low = lut.m_data[c], high = lut.m_data[c];
        for (size_t entry = 1; entry < entries; ++entry) {
            low = std::min(low, lut.m_data[entry * 4 + c]);
            high = std::max(high, lut.m_data[entry * 4 + c]);
        }
        described.outputMin[c] = low;
        described.outputMax[c] = high;
    }
    return described;
}

// Shortest text of a number that reads back the same, as in JSON.
std::string NumberText(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string NumberText(float value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string ParametersText(const std::vector<ParameterValue>& parameters) {
    std::string text;
    for (const ParameterValue& value : parameters)
        text += (text.empty() ? "" : ", ") + value.name + " " +
                (value.isNumber ? NumberText(value.number) : value.text);
    return text;
}

std::string TripleText(const double values[3]) {
    return NumberText(values[0]) + " " + NumberText(values[1]) + " " + NumberText(values[2]);
}

std::string RangeText(const float low[3], const float high[3]) {
    if (low[0] == low[1] && low[0] == low[2] && high[0] == high[1] && high[0] == high[2])
        return NumberText(low[0]) + " to " + NumberText(high[0]);
    std::string text;
    for (int c = 0; c < 3; ++c)
        text += std::string(c ? ", " : "") + "rgb"[c] + " " + NumberText(low[c]) + " to " +
                NumberText(high[c]);
    return text;
}

std::string TableText(const TableDescription& table) {
    return std::string(table.is3D ? "3D, " : "1D, ") + std::to_string(table.size) +
           (table.is3D ? " points" : " entries");
}

void AddLookText(std::string& text, const LookDescription& look) {
    for (const LayerDescription& layer : look.layers) {
        text += "  layer: " + layer.shader + (layer.enabled ? ", enabled" : ", disabled") +
                (layer.visible ? ", visible" : ", hidden") + ", opacity " +
                NumberText(layer.opacity);
        if (!layer.parameters.empty())
            text += ": " + ParametersText(layer.parameters);
        text += "\n";
    }
    for (size_t k = 0; k < look.base.size(); ++k)
        if (!look.base[k].empty())
            text +=
                "  base sublayer " + std::to_string(k) + ": " + ParametersText(look.base[k]) + "\n";
    text += std::string("  per-channel: ") + (look.perChannel ? "yes" : "no") + "\n";
    if (look.cdl)
        text += "  CDL: slope " + TripleText(look.cdl->slope) + ", offset " +
                TripleText(look.cdl->offset) + ", power " + TripleText(look.cdl->power) + "\n";
    else
        text +=
            "  CDL: none" + (look.cdlRefusal.empty() ? "" : " (" + look.cdlRefusal + ")") + "\n";
    std::string luts;
    for (const NamedLutFile& file : look.lutFiles)
        luts += (luts.empty() ? "" : ", ") + file.name + " (" +
                (file.foundAt.empty() ? "not found" : file.foundAt) + ")";
    text += "  LUT files: " + (luts.empty() ? "none" : luts) + "\n";
    text += "  stored LUT: " +
            (look.storedLutSize ? std::to_string(look.storedLutSize) + " points" : "none") + "\n";
    std::string why;
    for (const std::string& failure : look.renderFailures)
        why += (why.empty() ? "" : "; ") + failure;
    text += look.renders ? "  renders: yes\n"
            : look.fallsBackToStoredLut
                ? "  renders: no, converted from its stored LUT: " + why + "\n"
                : "  renders: no, and holds no stored LUT: " + why + "\n";
}

void AddLutText(std::string& text, const LutDescription& lut) {
    text += "  table: " + TableText(lut.table) + "\n";
    text += "  input range: " + RangeText(lut.table.inputMin, lut.table.inputMax) + "\n";
    text += "  shaper: " + (lut.shaper ? TableText(*lut.shaper) : std::string("none")) + "\n";
    text += "  output range: " + RangeText(lut.outputMin, lut.outputMax) + "\n";
}

void WriteTriple(JsonWriter& json, const float values[3]) {
    json.BeginArray().Number(values[0]).Number(values[1]).Number(values[2]).EndArray();
}

void WriteTriple(JsonWriter& json, const double values[3]) {
    json.BeginArray().Number(values[0]).Number(values[1]).Number(values[2]).EndArray();
}

void WriteParameters(JsonWriter& json, const std::vector<ParameterValue>& parameters) {
    json.BeginObject();
    for (const ParameterValue& value : parameters) {
        json.Key(value.name);
        if (value.isNumber)
            json.Number(value.number);
        else
            json.String(value.text);
    }
    json.EndObject();
}

void WriteTable(JsonWriter& json, const TableDescription& table) {
    json.BeginObject().Key("dimension").Number(uint64_t{table.is3D ? 3u : 1u});
    json.Key("size").Number(uint64_t{table.size}).Key("input_min");
    WriteTriple(json, table.inputMin);
    json.Key("input_max");
    WriteTriple(json, table.inputMax);
    json.EndObject();
}

void WriteLookJson(JsonWriter& json, const LookDescription& look) {
    json.Key("layers").BeginArray();
    for (const LayerDescription& layer : look.layers) {
        json.BeginObject().Key("shader").String(layer.shader).Key("enabled").Bool(layer.enabled);
        json.Key("visible").Bool(layer.visible).Key("opacity").Number(layer.opacity);
        json.Key("parameters");
        WriteParameters(json, layer.parameters);
        json.EndObject();
    }
    json.EndArray().Key("base").BeginArray();
    for (const std::vector<ParameterValue>& sublayer : look.base)
        WriteParameters(json, sublayer);
    json.EndArray().Key("per_channel").Bool(look.perChannel).Key("cdl");
    if (look.cdl) {
        json.BeginObject().Key("slope");
        WriteTriple(json, look.cdl->slope);
        json.Key("offset");
        WriteTriple(json, look.cdl->offset);
        json.Key("power");
        WriteTriple(json, look.cdl->power);
        json.EndObject();
    } else {
        json.Null();
    }
    json.Key("cdl_refusal");
    if (look.cdlRefusal.empty())
        json.Null();
    else
        json.String(look.cdlRefusal);
    json.Key("lut_files").BeginArray();
    for (const NamedLutFile& file : look.lutFiles) {
        json.BeginObject().Key("name").String(file.name).Key("found");
        if (file.foundAt.empty())
            json.Null();
        else
            json.String(file.foundAt);
        json.EndObject();
    }
    json.EndArray().Key("stored_lut_size").Number(uint64_t{look.storedLutSize});
    json.Key("renders").Bool(look.renders).Key("render_failures").BeginArray();
    for (const std::string& failure : look.renderFailures)
        json.String(failure);
    json.EndArray().Key("from_stored_lut").Bool(look.fallsBackToStoredLut);
}

void WriteLutJson(JsonWriter& json, const LutDescription& lut) {
    json.Key("format").String(lut.format).Key("table");
    WriteTable(json, lut.table);
    json.Key("shaper");
    if (lut.shaper)
        WriteTable(json, *lut.shaper);
    else
        json.Null();
    json.Key("output_min");
    WriteTriple(json, lut.outputMin);
    json.Key("output_max");
    WriteTriple(json, lut.outputMax);
}

} // namespace

FileDescription DescribeFile(const CVxShaderRegistry& shaders, const LutFiles& luts,
                             const CVxString& path, const std::string& displayPath) {
    FileDescription described;
    described.path = displayPath;
    if (IsLutFile(path)) {
        CVxLUT lut;
        const LutFormat* format =
            LoadLutFile(lut, luts, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true);
        if (format && !lut.IsEmpty())
            described.lut = DescribeLut(lut, *format);
        else
            described.error = WhyNotALutFile(luts.files, path);
        return described;
    }
    CVxString text;
    if (const FileStatus read = ReadTextFile(luts.files, path, text); !read) {
        described.error = read.cause;
        return described;
    }
    const std::unique_ptr<ParsedLook> look = ReadLook(text);
    if (!look) {
        described.error = WhyNotALook(text);
        return described;
    }
    described.look = DescribeLook(*look, shaders, luts, FolderOf(path));
    return described;
}

std::string FormatDescriptionText(const FileDescription& described) {
    if (!described.error.empty())
        return described.path + ": " + described.error + "\n";
    std::string text = described.path + ": ";
    if (described.look) {
        text += "look\n";
        AddLookText(text, *described.look);
    } else if (described.lut) {
        text += "LUT file, " + described.lut->format + "\n";
        AddLutText(text, *described.lut);
    }
    return text;
}

void WriteDescriptionJson(JsonWriter& json, const FileDescription& described) {
    json.BeginObject().Key("path").String(described.path);
    json.Key("kind").String(described.look ? "look" : described.lut ? "lut" : "unreadable");
    if (described.look)
        WriteLookJson(json, *described.look);
    else if (described.lut)
        WriteLutJson(json, *described.lut);
    else
        json.Key("error").String(described.error);
    json.EndObject();
}
