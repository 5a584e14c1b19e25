#include "render/base_shader_definition.h"

namespace {

const char kHead[] =
    "<shader name=\"VEXLAN.Base.1\" secondpass=\"VEXLAN.Base.2\" bypassLUT=\"true\" "
    "noopwhendefault=1>\n"
    "<texturelist name=\"MatrixLUT\" unit=\"6\" extern=\"1\" default=\"\"/>\n"
    "<texturelist name=\"BaseLUT\" unit=\"3\" extern=\"1\" default=\"\"/>\n"
    "<lut name=\"lut1\" unit=\"5\"/>\n"
    "<lookup lut=\"lut1\" function=\"LowMidHigh\" swizzle=\"0r,0g,0b\" "
    "variables=\"lowMid,midHigh\"/>\n";

const char kRangeLookup[] = "<lookup lut=\"lut1\" function=\"HLSRange\" swizzle=\"?\" "
                            "variables=\"enableHLS#,middleHLS#,rangeHLS#,toleranceHLS#\"/>\n";

const char* const kRangeSwizzles[6] = {"1r,2r,3r", "1g,2g,3g", "1b,2b,3b",
                                       "4r,5r,6r", "4g,5g,6g", "4b,5b,6b"};

const char kGlobalExterns[] = "<extern name=\"matrixR\" default=\"1,0,0,0\"/>\n"
                              "<extern name=\"matrixG\" default=\"0,1,0,0\"/>\n"
                              "<extern name=\"matrixB\" default=\"0,0,1,0\"/>\n"
                              "<extern name=\"Picking\" default=\"0\"/>\n"
                              "<extern name=\"saturation\" default=\"1\"/>\n"
                              "<extern name=\"saturationLMH\" default=\"1,1,1\"/>\n"
                              "<extern name=\"PrinterLights\" default=\"0,0,0\"/>\n"
                              "<extern name=\"LogPrinterLights\" default=\"0\" noop=\"1\"/>\n";

// Repeated with the suffixes "", "Low", "Mid", "High".
const char kToneExterns[] = "<extern name=\"gamma?\" default=\"0,0,0\"/>\n"
                            "<extern name=\"Pivot?\" default=\"0.5\" noop=\"1\"/>\n"
                            "<extern name=\"Contrast?\" default=\"0\"/>\n"
                            "<extern name=\"offset?\" default=\"0,0,0\"/>\n"
                            "<extern name=\"Temperature?\" default=\"0\"/>\n"
                            "<extern name=\"Magenta?\" default=\"0\"/>\n"
                            "<extern name=\"Overall?\" default=\"0\"/>\n"
                            "<extern name=\"gain?\" default=\"0,0,0\"/>\n"
                            "<extern name=\"GrayOut?\" default=\"0\"/>\n";

// Repeated with the suffixes "1" to "6".
const char kSecondaryExterns[] =
    "<extern name=\"enableHLS?\" default=\"1,1,1\" noop=\"1\"/>\n"
    "<extern name=\"middleHLS?\" default=\"180,0.5,0.5\" noop=\"1\"/>\n"
    "<extern name=\"rangeHLS?\" default=\"0,0,0\" noop=\"1\"/>\n"
    "<extern name=\"toleranceHLS?\" default=\"0,0,0\" noop=\"1\"/>\n"
    "<extern name=\"Pivot?\" default=\"0.5\" noop=\"1\"/>\n"
    "<extern name=\"Contrast?\" default=\"0\"/>\n"
    "<extern name=\"offset?\" default=\"0,0,0\"/>\n"
    "<extern name=\"Temperature?\" default=\"0\"/>\n"
    "<extern name=\"Magenta?\" default=\"0\"/>\n"
    "<extern name=\"Overall?\" default=\"0\"/>\n"
    "<extern name=\"gain?\" default=\"0,0,0\"/>\n"
    "<extern name=\"GrayOut?\" default=\"0\"/>\n";

const char kTailExterns[] = "<extern name=\"blur123\" default=\"0,0,0,0\" noop=\"1\"/>\n"
                            "<extern name=\"blur456\" default=\"0,0,0,0\" noop=\"1\"/>\n"
                            "<extern name=\"saturation123\" default=\"1,1,1\"/>\n"
                            "<extern name=\"saturation456\" default=\"1,1,1\"/>\n"
                            "<extern name=\"invert123\" default=\"0,0,0\" noop=\"1\"/>\n"
                            "<extern name=\"invert456\" default=\"0,0,0\" noop=\"1\"/>\n"
                            "<extern name=\"luminance.x\" default=\"0.299\" noop=\"1\"/>\n"
                            "<extern name=\"luminance.y\" default=\"0.587\" noop=\"1\"/>\n"
                            "<extern name=\"luminance.z\" default=\"0.114\" noop=\"1\"/>\n"
                            "<extern name=\"GammaRange\" default=\"3\" noop=\"1\"/>\n"
                            "<extern name=\"ContrastRange\" default=\"1\" noop=\"1\"/>\n"
                            "<extern name=\"GainRange\" default=\"1\" noop=\"1\"/>\n"
                            "<extern name=\"NeutralGray\" default=\"30\" noop=\"1\"/>\n"
                            "<extern name=\"lowMid\" default=\"0.5\" noop=\"1\"/>\n"
                            "<extern name=\"midHigh\" default=\"0.5\" noop=\"1\"/>\n";

// The script groups equal operators from the right and lets "+" bind before a
// preceding "-", so every mixed sum below is bracketed the way it is meant.
const char kCommonScript[] = R"(
// Ranges and scales.
NeutralGray = 1 - clamp(NeutralGray / 100, 0, 1);
grayOutColor.x = 0; grayOutColor.y = 0; grayOutColor.z = 0;
ContrastRange = max(ContrastRange, 1);
GainRange = max(GainRange, 1);
ContrastRange = pow(2, ContrastRange);
GainRange = pow(2, GainRange);

// Primary correction.
TempGain.x = pow(GainRange, (gain.x + Overall) + (Temperature + Magenta * 0.5));
TempGain.y = pow(GainRange, (gain.y + Overall) - Magenta);
TempGain.z = pow(GainRange, (gain.z + Overall) + (-Temperature + Magenta * 0.5));
Contrast = pow(ContrastRange, Contrast);
if (LogPrinterLights) {
    offset.x = offset.x + PrinterLights.x;
    offset.y = offset.y + PrinterLights.y;
    offset.z = offset.z + PrinterLights.z;
}
offset.x = TempGain.x * ((offset.x + Pivot) - Contrast * Pivot);
offset.y = TempGain.y * ((offset.y + Pivot) - Contrast * Pivot);
offset.z = TempGain.z * ((offset.z + Pivot) - Contrast * Pivot);
gain.x = TempGain.x * Contrast;
gain.y = TempGain.y * Contrast;
gain.z = TempGain.z * Contrast;
if (!LogPrinterLights) {
    gain.x = gain.x * pow(2, PrinterLights.x);
    gain.y = gain.y * pow(2, PrinterLights.y);
    gain.z = gain.z * pow(2, PrinterLights.z);
}

// Blur of the secondary keys: past 1.0 the wider kernel is used, so all six shrink.
normBlur123.x = blur123.x; normBlur123.y = blur123.y; normBlur123.z = blur123.z;
normBlur456.x = blur456.x; normBlur456.y = blur456.y; normBlur456.z = blur456.z;
if (blur123.x > 1 || blur123.y > 1 || blur123.z > 1 || blur456.x > 1 || blur456.y > 1 || blur456.z > 1) {
    normBlur123.x = blur123.x / 1.33; normBlur123.y = blur123.y / 1.33; normBlur123.z = blur123.z / 1.33;
    normBlur456.x = blur456.x / 1.33; normBlur456.y = blur456.y / 1.33; normBlur456.z = blur456.z / 1.33;
}

saturationLMH.x = saturationLMH.x * saturation;
saturationLMH.y = saturationLMH.y * saturation;
saturationLMH.z = saturationLMH.z * saturation;
)";

// Repeated with the suffixes "Low", "Mid", "High".
const char kRangeScript[] = R"(
// Tonal range ?.
gamma?.x = pow(GammaRange, gamma?.x + gamma.x);
gamma?.y = pow(GammaRange, gamma?.y + gamma.y);
gamma?.z = pow(GammaRange, gamma?.z + gamma.z);
TempGain.x = pow(GainRange, (gain?.x + Overall?) + (Temperature? + Magenta? * 0.5));
TempGain.y = pow(GainRange, (gain?.y + Overall?) - Magenta?);
TempGain.z = pow(GainRange, (gain?.z + Overall?) + (-Temperature? + Magenta? * 0.5));
Contrast? = pow(ContrastRange, Contrast?);
offset?.x = (TempGain.x * ((offset?.x + Pivot?) - Contrast? * Pivot?)) + offset.x;
offset?.y = (TempGain.y * ((offset?.y + Pivot?) - Contrast? * Pivot?)) + offset.y;
offset?.z = (TempGain.z * ((offset?.z + Pivot?) - Contrast? * Pivot?)) + offset.z;
gain?.x = (TempGain.x * Contrast?) * gain.x;
gain?.y = (TempGain.y * Contrast?) * gain.y;
gain?.z = (TempGain.z * Contrast?) * gain.z;
if (GrayOut? > 0.5) {
    gamma?.x = 1; gamma?.y = 1; gamma?.z = 1;
    gain?.x = 0; gain?.y = 0; gain?.z = 0;
    offset?.x = 0; offset?.y = 0; offset?.z = 0;
}
if (GrayOut? > 1.5) {
    offset?.x = NeutralGray; offset?.y = NeutralGray; offset?.z = NeutralGray;
}
if (GrayOut? > 2.5) {
    offset?.x = 1; offset?.y = 1; offset?.z = 1;
}
)";

// Repeated with the suffixes "1" to "6".
const char kSecondaryScript[] = R"(
// Secondary ?.
TempGain.x = pow(GainRange, (gain?.x + Overall?) + (Temperature? + Magenta? * 0.5));
TempGain.y = pow(GainRange, (gain?.y + Overall?) - Magenta?);
TempGain.z = pow(GainRange, (gain?.z + Overall?) + (-Temperature? + Magenta? * 0.5));
Contrast? = pow(ContrastRange, Contrast?);
offset?.x = TempGain.x * ((offset?.x + Pivot?) - Contrast? * Pivot?);
offset?.y = TempGain.y * ((offset?.y + Pivot?) - Contrast? * Pivot?);
offset?.z = TempGain.z * ((offset?.z + Pivot?) - Contrast? * Pivot?);
gain?.x = TempGain.x * Contrast?;
gain?.y = TempGain.y * Contrast?;
gain?.z = TempGain.z * Contrast?;
if (GrayOut? > 0.5) {
    gain?.x = 0; gain?.y = 0; gain?.z = 0;
    offset?.x = 0; offset?.y = 0; offset?.z = 0;
}
if (GrayOut? > 1.5) {
    offset?.x = NeutralGray; offset?.y = NeutralGray; offset?.z = NeutralGray;
    if (GrayOut? < 2.5) {
        grayOutColor.x = NeutralGray; grayOutColor.y = NeutralGray; grayOutColor.z = NeutralGray;
    }
}
if (GrayOut? > 2.5) {
    offset?.x = 1; offset?.y = 1; offset?.z = 1;
}
)";

// Appends `piece` with every `mark` replaced by `suffix`.
void AppendWithSuffix(CVxString& text, const char* piece, const char* suffix, char mark = '?') {
    for (const char* p = piece; *p; ++p) {
        if (*p == mark)
            text.Append(suffix);
        else
            text.Append(*p);
    }
}

CVxString BuildDefinition(bool withScript) {
    static const char* const kTones[4] = {"", "Low", "Mid", "High"};
    static const char* const kSecondaries[6] = {"1", "2", "3", "4", "5", "6"};
    CVxString text = CVxString::WithCapacity(withScript ? 40000 : 12000);
    text.Append(kHead);
    for (int s = 0; s < 6; ++s) {
        CVxString lookup;
        AppendWithSuffix(lookup, kRangeLookup, kRangeSwizzles[s]);
        AppendWithSuffix(text, lookup.c_str(), kSecondaries[s], '#');
    }
    text.Append(kGlobalExterns);
    for (const char* tone : kTones)
        AppendWithSuffix(text, kToneExterns, tone);
    for (const char* secondary : kSecondaries)
        AppendWithSuffix(text, kSecondaryExterns, secondary);
    text.Append(kTailExterns);
    if (withScript) {
        text.Append("<VEXLANScript>");
        text.Append(kCommonScript);
        for (int r = 1; r < 4; ++r)
            AppendWithSuffix(text, kRangeScript, kTones[r]);
        for (const char* secondary : kSecondaries)
            AppendWithSuffix(text, kSecondaryScript, secondary);
        text.Append("</VEXLANScript>\n");
    }
    text.Append("</shader>\n");
    return text;
}

} // namespace

const CVxString& BaseShaderDefinitionText(bool withScript) {
    static const CVxString withScriptText = BuildDefinition(true);
    static const CVxString plainText = BuildDefinition(false);
    return withScript ? withScriptText : plainText;
}

bool IsBaseShaderName(const CVxString& shaderName) {
    return shaderName.StartsWith("VEXLAN.Base.", false);
}
