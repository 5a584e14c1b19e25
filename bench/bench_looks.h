#pragma once

// The looks the whole-run benchmarks give the program, as a grading
// application writes them.

#include <string>

// One parameter line of a base sublayer.
inline std::string Parameter(const std::string& name, const std::string& value) {
    return "          <" + name + ">\"" + value + "\"</" + name + ">\n";
}

// A look whose base sublayer 0 holds the parameters, followed by `rest`
// (a stored LUT, say) inside the root.
inline std::string BaseLook(const std::string& parameters, const std::string& rest = "") {
    return "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n    <base>\n"
           "      <rangeversion>\"2\"</rangeversion>\n      <sublayer0>\n"
           "        <parameters>\n" +
           parameters + "        </parameters>\n      </sublayer0>\n    </base>\n  </shaders>\n" +
           rest + "</look>\n";
}
