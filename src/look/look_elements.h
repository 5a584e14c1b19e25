#pragma once

#include "foundation/vx_string.h"

#include <cstdint>

class CVxXMLReader;
class CVxShaderParam;
class CVxShaderParamStorage;
class CVxGradingParamStorage;

// Element forms of a grading inside a look (and inside the grading's object
// form). Readers start positioned on the element's start tag and may throw
// CVxXMLParseError; errors of their own are reported by a false result and,
// when errorOut is given, the message with line and column.

// Children of a "shader" element (or of a base "sublayerN"): name, visible,
// opacity, mask, vectormask, parameters. Values that do not parse keep the field.
void ReadShaderBody(CVxXMLReader& reader, CVxShaderParamStorage& layer);
// Children of "parameters": one leaf per parameter. A value starting with 'N'
// is a marker parameter (default "N"); the rest is stored as a number when
// it is one, as text otherwise. A LUT file name (NamesLutFile) is kept whole
// as text.
void ReadParameters(CVxXMLReader& reader, CVxShaderParamStorage& layer);
// A "base" element: appends the 12 sublayers to the grading.
bool ReadBaseElement(CVxXMLReader& reader, CVxGradingParamStorage& grading, CVxString* errorOut);
// A fresh sublayer k of the base: VEXLAN.Base.1 with the mask indices of k.
CVxShaderParamStorage* NewBaseSublayer(uint32_t k);

// A "shader" element at `indent` (nothing for a layer without a name).
void WriteShaderElement(CVxString& out, const CVxShaderParamStorage& layer, uint32_t indent);
// A "base" element at `indent` with every sublayer that differs from its defaults.
void WriteBaseElement(CVxString& out, const CVxGradingParamStorage& grading, uint32_t indent);
// Every logical layer in order: the base as "base", the others as "shader".
void WriteGradingLayers(CVxString& out, const CVxGradingParamStorage& grading, uint32_t indent);
// A parameter line as written inside "parameters".
void WriteParameterLine(CVxString& out, const CVxShaderParam& param, uint32_t indent);
// A base parameter that a written base leaves out: an aid, or equal to its default.
bool IsOmittedBaseParam(const CVxShaderParam& param);
