#include "render/shader_lookups.h"

#include "platform/ascii.h"
#include "script/shader_script.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kTolerance = 1e-9;

// Four components per variable, in the order the lookups read them.
using Inputs = const double (*)[4];

int ChannelOf(char letter) {
    switch (letter) {
    case 'r':
    case 'R':
        return 0;
    case 'g':
    case 'G':
        return 1;
    case 'b':
    case 'B':
        return 2;
    case 'a':
    case 'A':
        return 3;
    default:
        return -1;
    }
}

double Clamp01(double v) {
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

void LowMidHigh(double t, Inputs in, const uint8_t* components, double out[3]) {
    double lowMid = in[0][components[0]];
    double midHigh = in[1][components[1]];
    double a = lowMid > 0.0001 ? 1.0 / lowMid : 10000.0;
    double c = midHigh < 0.9999 ? 1.0 / (1.0 - midHigh) : 10000.0;
    double low = Clamp01(1.0 - a * t);
    double high = Clamp01(t - midHigh) * c;
    out[0] = low;
    out[1] = 1.0 - low - high;
    out[2] = high;
}

// Weights of hue (in degrees, wrapping at 360), lightness and saturation.
void HLSRange(uint32_t entry, Inputs in, double out[3]) {
    const double* enable = in[0];
    const double* middle = in[1];
    const double* range = in[2];
    const double* tolerance = in[3];
    for (int k = 0; k < 3; ++k) {
        if (std::fabs(enable[k]) <= kTolerance) {
            out[k] = 1.0;
            continue;
        }
        double t = k == 0 ? entry * 360.0 / ShaderLookupTable::kEntries
                          : static_cast<double>(entry) / ShaderLookupTable::kEntries;
        double d = std::fabs(t - middle[k]);
        if (k == 0 && d > 180.0)
            d = std::fabs(d - 360.0);
        double w = range[k] + tolerance[k];
        if (w <= kTolerance || w - d <= kTolerance)
            out[k] = 0.0;
        else if (tolerance[k] > kTolerance)
            out[k] = std::min((w - d) / tolerance[k], 1.0);
        else
            out[k] = 1.0;
    }
}

void Gamma(double t, Inputs in, double out[3]) {
    for (int k = 0; k < 3; ++k)
        out[k] = std::pow(t, in[0][k]) - t;
}

uint32_t VariablesRead(ELookupFunction function) {
    switch (function) {
    case ELookupFunction::eLowMidHigh:
        return 2;
    case ELookupFunction::eHLSRange:
        return 4;
    case ELookupFunction::eGamma:
        return 1;
    default:
        return 0;
    }
}

} // namespace

ELookupFunction LookupFunctionFromName(const CVxString& name) {
    if (name.EqualsNoCase("LowMidHigh"))
        return ELookupFunction::eLowMidHigh;
    if (name.EqualsNoCase("HLSRange"))
        return ELookupFunction::eHLSRange;
    if (name.EqualsNoCase("Gamma"))
        return ELookupFunction::eGamma;
    return ELookupFunction::eNone;
}

bool ParseLookupSwizzle(const CVxString& text, ShaderLookup& lookup) {
    lookup.targetCount = 0;
    const char* p = text.c_str();
    while (*p) {
        while (ascii::IsBlank(*p) || *p == ',')
            ++p;
        if (!*p)
            break;
        if (!ascii::IsDigit(*p) || ChannelOf(p[1]) < 0 || lookup.targetCount == 3)
            return false;
        lookup.targets[lookup.targetCount++] = {static_cast<uint8_t>(*p - '0'),
                                                static_cast<uint8_t>(ChannelOf(p[1]))};
        p += 2;
        while (ascii::IsBlank(*p))
            ++p;
        if (*p && *p != ',')
            return false;
    }
    return lookup.targetCount > 0;
}

void ShaderLookupTable::AddLookup(const ShaderLookup& lookup) {
    if (lookup.function == ELookupFunction::eNone)
        return;
    m_lookups.push_back(lookup);
    for (uint32_t i = 0; i < lookup.targetCount; ++i)
        m_rowCount = std::max<uint32_t>(m_rowCount, lookup.targets[i].row + 1u);
    m_data.assign(static_cast<size_t>(m_rowCount) * kFloatsPerRow, 0.0f);
    m_filled = false;
}

bool ShaderLookupTable::Update(const ShaderScript& script) {
    std::vector<double> inputs;
    for (const ShaderLookup& lookup : m_lookups) {
        uint32_t count = VariablesRead(lookup.function);
        for (uint32_t v = 0; v < count; ++v) {
            CVxString base;
            if (v < lookup.variables.size()) {
                base = lookup.variables[v];
                int dot = base.Find('.');
                if (dot >= 0)
                    base = base.Left(static_cast<uint32_t>(dot));
            }
            for (const char* suffix : {".x", ".y", ".z", ".w"})
                inputs.push_back(base.IsEmpty() ? 0.0 : script.Get(base + suffix, 0.0));
        }
    }
    // Bitwise, so that a NaN that stays NaN counts as unchanged. A table whose
    // lookups read nothing has no inputs at all, and memcmp must not see its null data.
    if (m_filled && inputs.size() == m_lastInputs.size() &&
        (inputs.empty() ||
         std::memcmp(inputs.data(), m_lastInputs.data(), inputs.size() * sizeof(double)) == 0))
        return false;
    Fill(inputs);
    m_lastInputs.swap(inputs);
    m_filled = true;
    return true;
}

void ShaderLookupTable::Fill(const std::vector<double>& inputs) {
    size_t next = 0;
    for (const ShaderLookup& lookup : m_lookups) {
        Inputs in = reinterpret_cast<Inputs>(inputs.data() + next);
        next += VariablesRead(lookup.function) * 4;
        uint8_t components[4] = {0, 0, 0, 0};
        for (size_t v = 0; v < lookup.components.size() && v < 4; ++v)
            components[v] = lookup.components[v];

        for (uint32_t i = 0; i < kEntries; ++i) {
            double t = static_cast<double>(i) / kEntries;
            double out[3] = {0, 0, 0};
            switch (lookup.function) {
            case ELookupFunction::eLowMidHigh:
                LowMidHigh(t, in, components, out);
                break;
            case ELookupFunction::eHLSRange:
                HLSRange(i, in, out);
                break;
            case ELookupFunction::eGamma:
                Gamma(t, in, out);
                break;
            default:
                break;
            }
            for (uint32_t k = 0; k < lookup.targetCount; ++k) {
                const ShaderLookup::Target& target = lookup.targets[k];
                m_data[(static_cast<size_t>(target.row) * kEntries + i) * 4 + target.channel] =
                    static_cast<float>(out[k]);
            }
        }
    }
}
