#include "script/script_program.h"

#include <cmath>
#include <cstdint>

namespace script {

namespace {

constexpr double kZeroTolerance = 1e-12;

double Abs(const double* a, const char**) {
    return std::fabs(a[0]);
}
double Acos(const double* a, const char**) {
    return std::acos(a[0]);
}
double Asin(const double* a, const char**) {
    return std::asin(a[0]);
}
double Atan(const double* a, const char**) {
    return std::atan(a[0]);
}
double Atan2(const double* a, const char**) {
    return std::atan2(a[0], a[1]);
}
double Bool(const double* a, const char**) {
    return std::fabs(a[0]) <= kZeroTolerance ? 0.0 : 1.0;
}
double Ceil(const double* a, const char**) {
    return std::ceil(a[0]);
}
double Max(const double* a, const char**) {
    return a[0] < a[1] ? a[1] : a[0];
}
double Min(const double* a, const char**) {
    return a[0] <= a[1] ? a[0] : a[1];
}
// The upper bound wins when the bounds are crossed.
double Clamp(const double* a, const char**) {
    double v = a[0] < a[1] ? a[1] : a[0];
    return v > a[2] ? a[2] : v;
}
double Cos(const double* a, const char**) {
    return std::cos(a[0]);
}
double Cosh(const double* a, const char**) {
    return std::cosh(a[0]);
}
double Exp(const double* a, const char**) {
    return std::exp(a[0]);
}
double Floor(const double* a, const char**) {
    return std::floor(a[0]);
}
double InRange(const double* a, const char**) {
    return a[1] <= a[0] && a[0] <= a[2] ? 1.0 : 0.0;
}
double Int(const double* a, const char**) {
    return IntegerPart(a[0]);
}
double Ldexp(const double* a, const char**) {
    return std::ldexp(a[0], IntegerPart(a[1]));
}
double Log(const double* a, const char** error) {
    if (a[0] <= kZeroTolerance) {
        *error = "Non-positive value passed to function log().";
        return 0.0;
    }
    return std::log(a[0]);
}
double Log10(const double* a, const char** error) {
    if (a[0] <= kZeroTolerance) {
        *error = "Non-positive value passed to function log10().";
        return 0.0;
    }
    return std::log10(a[0]);
}
double Pow(const double* a, const char**) {
    return std::pow(a[0], a[1]);
}
double Round(const double* a, const char**) {
    return std::floor(a[0] + 0.5);
}
double Sin(const double* a, const char**) {
    return std::sin(a[0]);
}
double Sinh(const double* a, const char**) {
    return std::sinh(a[0]);
}
double Sqrt(const double* a, const char**) {
    return std::sqrt(a[0]);
}
double Tan(const double* a, const char**) {
    return std::tan(a[0]);
}
double Tanh(const double* a, const char**) {
    return std::tanh(a[0]);
}

struct BuiltinEntry {
    const char* name;
    uint32_t argCount;
    BuiltinFunction function;
};

constexpr BuiltinEntry kBuiltins[] = {
    {"abs", 1, Abs},         {"acos", 1, Acos},   {"arccos", 1, Acos}, {"asin", 1, Asin},
    {"arcsin", 1, Asin},     {"atan", 1, Atan},   {"arctan", 1, Atan}, {"atan2", 2, Atan2},
    {"arctan2", 2, Atan2},   {"bool", 1, Bool},   {"ceil", 1, Ceil},   {"clamp", 3, Clamp},
    {"cos", 1, Cos},         {"cosh", 1, Cosh},   {"exp", 1, Exp},     {"floor", 1, Floor},
    {"inrange", 3, InRange}, {"int", 1, Int},     {"trunc", 1, Int},   {"ldexp", 2, Ldexp},
    {"log", 1, Log},         {"log10", 1, Log10}, {"max", 2, Max},     {"min", 2, Min},
    {"pow", 2, Pow},         {"round", 1, Round}, {"sin", 1, Sin},     {"sinh", 1, Sinh},
    {"sqrt", 1, Sqrt},       {"tan", 1, Tan},     {"tanh", 1, Tanh},
};

} // namespace

int32_t IntegerPart(double value) {
    // NaN fails both tests and lands on the lowest value too.
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

void AddBuiltinFunctions(std::vector<Function>& functions,
                         std::unordered_map<std::string, uint32_t>& byName) {
    for (const BuiltinEntry& entry : kBuiltins) {
        Function function;
        function.name = entry.name;
        function.argCount = entry.argCount;
        function.builtin = entry.function;
        byName.emplace(NameKey(function.name), static_cast<uint32_t>(functions.size()));
        functions.push_back(function);
    }
}

} // namespace script
