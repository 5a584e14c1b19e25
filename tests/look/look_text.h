#pragma once

#include "look/look_reader.h"

#include <memory>
#include <sstream>
#include <string>

// A look read from its text, with all that the reader reports.
struct ReadLook {
    CVxGradingParamStorage grading;
    std::unique_ptr<CVxShapeMask> mask;
    uint32_t size = 0;
    bool ok = false;

    explicit ReadLook(const std::string& text) {
        ok = ReadLookText(grading, CVxString(text.c_str(), text.size()), mask, size);
    }
};

inline std::string Shaders(const std::string& body) {
    return "<look><shaders>" + body + "</shaders></look>";
}

// A look whose base holds the given elements, after the layers given before it.
inline std::string Base(const std::string& elements, const std::string& before = "") {
    return Shaders(before + "<base>" + elements + "</base>");
}

// Sublayer n with its parameters given as "Name=value Name=value", after
// the other elements given.
inline std::string Sublayer(int n, const std::string& params, const std::string& elements = "") {
    std::string list;
    std::istringstream words(params);
    for (std::string word; words >> word;) {
        const std::string name = word.substr(0, word.find('='));
        list += "<" + name + ">\"" + word.substr(name.size() + 1) + "\"</" + name + ">";
    }
    const std::string tag = "sublayer" + std::to_string(n);
    return "<" + tag + ">" + elements + "<parameters>" + list + "</parameters></" + tag + ">";
}

inline std::string Sublayer0(const std::string& params) {
    return Sublayer(0, params);
}
