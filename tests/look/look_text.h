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

// Sublayer n with the elements given, then its parameters given as
// "Name=value Name=value" (no parameters element when there are none).
inline std::string Sublayer(int n, const std::string& params, const std::string& elements = "") {
    const std::string tag = "sublayer" + std::to_string(n);
    std::string list;
    std::istringstream words(params);
    for (std::string word; words >> word;) {
        const std::string name = word.substr(0, word.find('='));
        list += "<" + name + ">\"" + word.substr(name.size() + 1) + "\"</" + name + ">";
    }
    if (!list.empty())
        list = "<parameters>" + list + "</parameters>";
    return "<" + tag + ">" + elements + list + "</" + tag + ">";
}
