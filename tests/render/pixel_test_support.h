#pragma once

#include "lut/lut.h"
#include "render/pixel_stage.h"
#include "render/shader_definition.h"

#include <array>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using Rgb = std::array<float, 3>;

// A lattice of `size` points per axis holding f(r, g, b) at every grid point
// of the unit cube.
template <typename Fn> std::unique_ptr<CVxLUT> MakeLattice(uint32_t size, Fn f) {
    auto lut = std::make_unique<CVxLUT>();
    lut->Create(size, true);
    const float step = 1.0f / static_cast<float>(size - 1);
    float* entry = lut->m_data;
    for (uint32_t b = 0; b < size; ++b)
        for (uint32_t g = 0; g < size; ++g)
            for (uint32_t r = 0; r < size; ++r, entry += 4) {
                const Rgb value = f(r * step, g * step, b * step);
                *std::copy(value.begin(), value.end(), entry) = 1.0f;
            }
    return lut;
}

// Multilinear, so trilinear sampling reproduces it anywhere in the cube, and
// asymmetric, so mixed-up axes show.
inline Rgb Multilinear(float r, float g, float b) {
    return {1.0f - r, 0.5f * g + 0.25f * b, r * b};
}

inline std::unique_ptr<CVxLUT> MakeTable(const std::vector<Rgb>& entries, float domainMin = 0.0f,
                                         float domainMax = 1.0f) {
    auto lut = std::make_unique<CVxLUT>();
    lut->Create(static_cast<uint32_t>(entries.size()), false);
    for (size_t i = 0; i < entries.size(); ++i)
        *std::copy(entries[i].begin(), entries[i].end(), lut->m_data + i * 4) = 1.0f;
    lut->SetDomainUniform(domainMin, domainMax);
    return lut;
}

// One pixel through a stage's row call.
inline std::array<float, 4> RunPixel(const PixelStage& stage, const Rgb& rgb, float alpha = 1.0f) {
    std::array<float, 4> pixel = {rgb[0], rgb[1], rgb[2], alpha};
    stage.ProcessRow(pixel.data(), pixel.data(), 1);
    return pixel;
}

// "a=1 b.x=-2,3" split into names and value texts.
inline std::vector<std::pair<std::string, std::string>> Assignments(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> items;
    std::istringstream in(text);
    for (std::string item; in >> item;) {
        const size_t equals = item.find('=');
        items.emplace_back(item.substr(0, equals), item.substr(equals + 1));
    }
    return items;
}

// A layer's parameters written as "a=1 b.x=-2".
inline std::vector<ShaderParameterValue> Params(const std::string& text) {
    std::vector<ShaderParameterValue> values;
    for (const auto& [name, value] : Assignments(text))
        values.push_back({name.c_str(), std::stod(value)});
    return values;
}

// `expected` ("a=1 b=2,3") with each value replaced by `actual(name)`, so
// that one comparison shows every difference.
template <typename Fn> std::string WithActual(const std::string& expected, Fn actual) {
    std::string text;
    for (const auto& item : Assignments(expected))
        text += (text.empty() ? "" : " ") + item.first + "=" + actual(item.first);
    return text;
}

// The script's values to ten digits; -999 for a name it does not hold.
inline std::string ScriptValues(const ShaderScript& script, const std::string& expected) {
    return WithActual(expected, [&](const std::string& name) {
        char number[32];
        std::snprintf(number, sizeof number, "%.10g", script.Get(name.c_str(), -999) + 0.0);
        return std::string(number);
    });
}

// Three floats to six digits, about what single precision tells apart.
inline std::string Rgb3(const float* v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6g,%.6g,%.6g", v[0], v[1], v[2]);
    return text;
}
