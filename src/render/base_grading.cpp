#include "render/base_grading.h"

#include "script/shader_script.h"

#include <cmath>
#include <string>

namespace {

constexpr double kTolerance = 1e-9;

const char* const kComponents[4] = {".x", ".y", ".z", ".w"};
const char* const kRanges[3] = {"Low", "Mid", "High"};
const char* const kGroups[2] = {"123", "456"};

// Reads working values by name; a null script or an unknown name gives the fallback.
template <typename T> class ValueReader {
public:
    explicit ValueReader(const ShaderScript* script) : m_script(script) {}

    T Get(const std::string& name, double fallback) const {
        return static_cast<T>(m_script != nullptr ? m_script->Get(name.c_str(), fallback)
                                                  : fallback);
    }
    void Get3(T out[3], const std::string& name, double fallback) const {
        for (int c = 0; c < 3; ++c)
            out[c] = Get(name + kComponents[c], fallback);
    }

private:
    const ShaderScript* m_script;
};

template <typename T> void ReadValues(const ShaderScript* script, BaseGradingValuesOf<T>& values) {
    const ValueReader<T> read(script);
    const char* const rows[3] = {"matrixR", "matrixG", "matrixB"};
    for (int row = 0; row < 3; ++row)
        for (int c = 0; c < 4; ++c)
            values.matrix[row][c] = read.Get(std::string(rows[row]) + kComponents[c], row == c);
    values.picking = read.Get("Picking", 0);
    read.Get3(values.saturationLMH, "saturationLMH", 1);
    values.luminance[0] = read.Get("luminance.x", 0.299);
    values.luminance[1] = read.Get("luminance.y", 0.587);
    values.luminance[2] = read.Get("luminance.z", 0.114);
    for (int k = 0; k < 3; ++k) {
        read.Get3(values.gamma[k], std::string("gamma") + kRanges[k], 1);
        read.Get3(values.gain[k], std::string("gain") + kRanges[k], 1);
        read.Get3(values.offset[k], std::string("offset") + kRanges[k], 0);
    }
    for (int s = 0; s < 6; ++s) {
        const std::string suffix = std::to_string(s + 1);
        read.Get3(values.secondaryGain[s], "gain" + suffix, 1);
        read.Get3(values.secondaryOffset[s], "offset" + suffix, 0);
        values.grayOut[s] = read.Get("GrayOut" + suffix, 0);
    }
    for (int g = 0; g < 2; ++g) {
        read.Get3(values.secondarySaturation + 3 * g, std::string("saturation") + kGroups[g], 1);
        read.Get3(values.invert + 3 * g, std::string("invert") + kGroups[g], 0);
        read.Get3(values.blur + 3 * g, std::string("blur") + kGroups[g], 0);
        read.Get3(values.normBlur + 3 * g, std::string("normBlur") + kGroups[g], 0);
    }
    read.Get3(values.grayOutColor, "grayOutColor", 0);
    values.neutralGray = read.Get("NeutralGray", 0.7);
}

bool Near(double a, double b) {
    return std::fabs(a - b) <= kTolerance;
}

bool AllNear(const double* values, size_t count, double target) {
    for (size_t i = 0; i < count; ++i)
        if (!Near(values[i], target))
            return false;
    return true;
}

bool SameComponents(const double a[3], const double b[3]) {
    return Near(a[0], b[0]) && Near(a[1], b[1]) && Near(a[2], b[2]);
}

bool RangesAgree(const double (&perRange)[3][3]) {
    return SameComponents(perRange[0], perRange[1]) && SameComponents(perRange[0], perRange[2]);
}

bool MatrixIsIdentity(const BaseGradingValuesOf<double>& v) {
    for (int row = 0; row < 3; ++row)
        for (int c = 0; c < 4; ++c)
            if (!Near(v.matrix[row][c], row == c ? 1.0 : 0.0))
                return false;
    return true;
}

bool GroupIsIdentity(const BaseGradingValuesOf<double>& v, int group) {
    if (!AllNear(v.secondarySaturation + 3 * group, 3, 1.0))
        return false;
    for (int s = 3 * group; s < 3 * group + 3; ++s)
        if (!AllNear(v.secondaryGain[s], 3, 1.0) || !AllNear(v.secondaryOffset[s], 3, 0.0))
            return false;
    return true;
}

bool GroupGraysOut(const BaseGradingValuesOf<double>& v, int group) {
    for (int s = 3 * group; s < 3 * group + 3; ++s)
        if (!(v.grayOut[s] > 0.5 && v.grayOut[s] < 2.5))
            return false;
    return true;
}

BaseGradingParts PartsOf(const BaseGradingValuesOf<double>& v) {
    BaseGradingParts parts;
    parts.matrix = !MatrixIsIdentity(v);
    const double* saturation = v.saturationLMH;
    parts.tonalSplit = !(Near(saturation[0], saturation[1]) && Near(saturation[0], saturation[2]) &&
                         RangesAgree(v.gain) && RangesAgree(v.offset) && RangesAgree(v.gamma));
    for (int k = 0; k < 3; ++k)
        parts.gamma[k] = !AllNear(v.gamma[k], 3, 1.0);
    parts.singleRange = !(AllNear(saturation, 3, 1.0) && AllNear(v.gain[0], 3, 1.0) &&
                          AllNear(v.offset[0], 3, 0.0));
    for (int g = 0; g < 2; ++g) {
        parts.secondaries[g] = !GroupIsIdentity(v, g);
        parts.invert[g] = !AllNear(v.invert + 3 * g, 3, 0.0);
    }
    parts.blur = !AllNear(v.blur, 6, 0.0);
    for (double blur : v.blur)
        parts.wideBlur = parts.wideBlur || blur > 1.0;
    parts.grayOut = GroupGraysOut(v, 0) != GroupGraysOut(v, 1);
    parts.picking = !Near(v.picking, 0.0);
    return parts;
}

} // namespace

BaseGradingValues ReadBaseGradingValues(const ShaderScript* script) {
    BaseGradingValues values;
    ReadValues(script, values);
    return values;
}

BaseGradingParts FindBaseGradingParts(const ShaderScript* script) {
    BaseGradingValuesOf<double> values;
    ReadValues(script, values);
    return PartsOf(values);
}
