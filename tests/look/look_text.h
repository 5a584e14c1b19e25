#pragma once

#include "look/look_reader.h"

#include <memory>
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

inline std::string Sublayer0(const std::string& params) {
    return "<sublayer0><parameters>" + params + "</parameters></sublayer0>";
}
