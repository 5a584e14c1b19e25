#include "look/look_elements.h"

#include "foundation/xml_reader.h"
#include "foundation/xml_writer.h"
#include "look/grading_params.h"
#include "look/shader_param.h"

#include <cmath>

namespace {

constexpr double kTolerance = 1e-9;

void ReportError(const CVxXMLReader& reader, const char* message, CVxString* errorOut) {
    if (errorOut)
        *errorOut = CVxXMLParseError(CVxString(message), reader.Line(), reader.Column()).FullText();
}

// The number after "sublayer": all digits, naming one of the 12.
bool SublayerNumber(const CVxXMLReader& reader, uint32_t& k) {
    const uint32_t prefixLength = 8;
    return ParseXMLUInt32(reader.Tag().c_str() + prefixLength, k, 0,
                          CVxGradingParamStorage::kBaseSublayers - 1);
}

bool AppendDefaultSublayers(CVxGradingParamStorage& grading, uint32_t from, uint32_t to) {
    for (uint32_t k = from; k < to; ++k) {
        CVxShaderParamStorage* sublayer = NewBaseSublayer(k);
        if (!grading.AppendBaseSublayer(sublayer)) {
            sublayer->Release();
            return false;
        }
    }
    return true;
}

bool IsAidName(const CVxString& name) {
    return name.StartsWith("GrayOut") || name.EqualsNoCase("NeutralGray") ||
           name.EqualsNoCase("Picking");
}

} // namespace

void ReadParameters(CVxXMLReader& reader, CVxShaderParamStorage& layer) {
    uint32_t depth = reader.Depth();
    while (reader.NextChild(depth)) {
        const CVxString name = reader.Tag().Copy();
        const char* value = reader.Value().c_str();
        if (NamesLutFile(name)) {
            layer.SetText(name, CVxString(value));
            continue;
        }
        const char* marker = nullptr;
        if (value[0] == 'N') {
            marker = "N";
            ++value;
        }
        double number = 0;
        if (ParseXMLDouble(value, number))
            layer.SetNumber(name, number, marker);
        else
            layer.SetText(name, CVxString(value), marker);
    }
}

void ReadShaderBody(CVxXMLReader& reader, CVxShaderParamStorage& layer) {
    uint32_t depth = reader.Depth();
    while (reader.NextChild(depth)) {
        const char* value = reader.Value().c_str();
        if (reader.TagIs("name")) {
            layer.SetName(reader.Value().Copy());
        } else if (reader.TagIs("visible")) {
            bool visible = layer.Visible();
            if (ParseXMLBool(value, visible))
                layer.SetVisible(visible);
        } else if (reader.TagIs("opacity")) {
            float opacity = 0;
            if (ParseXMLFloat(value, opacity))
                layer.SetOpacity(opacity);
        } else if (reader.TagIs("mask")) {
            uint32_t mask = 0;
            if (ParseXMLUInt32(value, mask, 0, 2))
                layer.SetMask(mask);
        } else if (reader.TagIs("vectormask")) {
            uint32_t vectorMask = 0;
            if (ParseXMLUInt32(value, vectorMask, 0, 2))
                layer.SetVectorMask(vectorMask);
        } else if (reader.TagIs("parameters")) {
            ReadParameters(reader, layer);
        }
    }
}

CVxShaderParamStorage* NewBaseSublayer(uint32_t k) {
    CVxShaderParamStorage* sublayer = new CVxShaderParamStorage();
    sublayer->SetName(CVxString(kBaseShaderName));
    sublayer->SetMask(k < 9 ? k / 3 : 0);
    sublayer->SetVectorMask(k % 3);
    return sublayer;
}

bool ReadBaseElement(CVxXMLReader& reader, CVxGradingParamStorage& grading, CVxString* errorOut) {
    uint32_t depth = reader.Depth();
    if (!reader.NextChild(depth)) {
        ReportError(reader, "Empty <base> tag in grading definition", errorOut);
        return false;
    }
    grading.BeginBase();
    bool visible = true;
    uint32_t rangeVersion = 1;
    uint32_t next = 0;
    do {
        if (reader.TagIs("visible")) {
            ParseXMLBool(reader.Value().c_str(), visible);
        } else if (reader.TagIs("rangeversion")) {
            ParseXMLUInt32(reader.Value().c_str(), rangeVersion);
        } else if (reader.TagStartsWith("sublayer")) {
            // A tag that names none of the 12 is skipped like any unknown child.
            uint32_t k = 0;
            if (!SublayerNumber(reader, k))
                continue;
            if (k < next) {
                ReportError(reader, "Duplicate or out-of-order <sublayerN> tag in base definition",
                            errorOut);
                return false;
            }
            if (!AppendDefaultSublayers(grading, next, k))
                return false;
            LayerHolder sublayer(NewBaseSublayer(k));
            ReadShaderBody(reader, *sublayer);
            sublayer->SetName(CVxString(kBaseShaderName));
            sublayer->SetMask(k < 9 ? k / 3 : 0);
            sublayer->SetVectorMask(k % 3);
            if (!grading.AppendBaseSublayer(sublayer.get()))
                return false;
            sublayer.release();
            next = k + 1;
        }
    } while (reader.NextChild(depth));

    if (!AppendDefaultSublayers(grading, next, CVxGradingParamStorage::kBaseSublayers))
        return false;
    for (uint32_t k = 0; k < CVxGradingParamStorage::kBaseSublayers; ++k)
        grading.BaseSublayer(k)->SetVisible(visible);
    if (rangeVersion < 2)
        grading.UpgradeBaseRanges();
    return true;
}

void WriteParameterLine(CVxString& out, const CVxShaderParam& param, uint32_t indent) {
    WriteXMLText(out, indent, param.Name.c_str(), param.FileText());
}

void WriteShaderElement(CVxString& out, const CVxShaderParamStorage& layer, uint32_t indent) {
    if (layer.Name().IsEmpty())
        return;
    WriteXMLOpen(out, indent, "shader");
    WriteXMLText(out, indent + 2, "name", layer.Name());
    WriteXMLBool(out, indent + 2, "visible", layer.Visible());
    WriteXMLDecimal(out, indent + 2, "opacity", layer.Opacity(), 15);
    WriteXMLUInt(out, indent + 2, "mask", layer.Mask());
    WriteXMLUInt(out, indent + 2, "vectormask", layer.VectorMask());
    WriteXMLOpen(out, indent + 2, "parameters");
    for (uint32_t i = 0; i < layer.ParamCount(); ++i)
        WriteParameterLine(out, *layer.GetParam(i), indent + 4);
    WriteXMLClose(out, indent + 2, "parameters");
    WriteXMLClose(out, indent, "shader");
}

bool IsOmittedBaseParam(const CVxShaderParam& param) {
    if (IsAidName(param.Name))
        return true;
    if (param.IsMarker()) {
        double markerDefault = 0;
        double value = 0;
        if (!ParseXMLDouble(param.Default.c_str() + 1, markerDefault))
            return false;
        if (!param.IsDouble && !ParseXMLDouble(param.Value.c_str(), value))
            return false;
        if (param.IsDouble)
            value = param.dValue;
        return std::fabs(value - markerDefault) < kTolerance;
    }
    if (param.IsDouble && param.IsDefaultDouble)
        return std::fabs(param.dValue - param.dDefault) <= kTolerance;
    return param.GetText().Compare(param.Default, CVxString::eCaseInsensitive) == 0;
}

void WriteBaseElement(CVxString& out, const CVxGradingParamStorage& grading, uint32_t indent) {
    if (!grading.HasBase())
        return;
    WriteXMLOpen(out, indent, "base");
    WriteXMLText(out, indent + 2, "rangeversion", "2");
    WriteXMLBool(out, indent + 2, "visible", grading.BaseSublayer(0)->Visible());
    for (uint32_t k = 0; k < grading.BaseSublayerCount(); ++k) {
        const CVxShaderParamStorage& sublayer = *grading.BaseSublayer(k);
        CVxString lines;
        for (uint32_t i = 0; i < sublayer.ParamCount(); ++i) {
            const CVxShaderParam& param = *sublayer.GetParam(i);
            if (!IsOmittedBaseParam(param))
                WriteParameterLine(lines, param, indent + 6);
        }
        if (lines.IsEmpty() && std::fabs(sublayer.Opacity() - 1.0) <= kTolerance)
            continue;
        CVxString tag;
        tag.Format("sublayer%u", k);
        WriteXMLOpen(out, indent + 2, tag.c_str());
        WriteXMLDecimal(out, indent + 4, "opacity", sublayer.Opacity(), 15);
        if (!lines.IsEmpty()) {
            WriteXMLOpen(out, indent + 4, "parameters");
            out.Append(lines);
            WriteXMLClose(out, indent + 4, "parameters");
        }
        WriteXMLClose(out, indent + 2, tag.c_str());
    }
    WriteXMLClose(out, indent, "base");
}

void WriteGradingLayers(CVxString& out, const CVxGradingParamStorage& grading, uint32_t indent) {
    for (uint32_t i = 0; i < grading.LayerCount(); ++i) {
        if (grading.IsBaseLayer(i))
            WriteBaseElement(out, grading, indent);
        else
            WriteShaderElement(out, *grading.Layer(i), indent);
    }
}
