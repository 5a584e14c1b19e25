#pragma once

// Look texts as the tests write them, and as the look writer lays out what it writes.

#include <cstdint>
#include <string>
#include <vector>

// A 2-point identity lattice in a cube file.
inline const std::string kCube2 =
    "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n";

// One parameter line of a look's base sublayer.
inline std::string Parameter(const std::string& name, const std::string& value) {
    return "          <" + name + ">\"" + value + "\"</" + name + ">\n";
}

// A look whose base sublayer 0 holds the parameters, followed by `rest` inside the root.
inline std::string BaseLook(const std::string& parameters, const std::string& rest = "") {
    return "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n    <base>\n"
           "      <rangeversion>\"2\"</rangeversion>\n      <sublayer0>\n"
           "        <parameters>\n" +
           parameters + "        </parameters>\n      </sublayer0>\n    </base>\n  </shaders>\n" +
           rest + "</look>\n";
}

// A look that cannot be rendered: its one layer names a shader nobody has.
inline std::string UnknownShaderLook(const std::string& rest = "") {
    return "<look>\n  <shaders>\n    <shader>\n      <name>\"Studio.Missing\"</name>\n"
           "    </shader>\n  </shaders>\n" +
           rest + "</look>\n";
}

// A LUT element as the look writer writes it: the RGB floats in hex, 32 bytes a line.
inline std::string LutElement(const std::string& tag, uint32_t size,
                              const std::vector<float>& rgb) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(rgb.data());
    std::string hex;
    for (size_t i = 0; i < rgb.size() * 4; ++i) {
        if (i % 32 == 0)
            hex += "\n      ";
        hex += "0123456789ABCDEF"[bytes[i] >> 4];
        hex += "0123456789ABCDEF"[bytes[i] & 15];
    }
    return "  <" + tag + ">\n    <size>\"" + std::to_string(size) + "\"</size>\n    <data>\"" +
           hex + "\"\n    </data>\n  </" + tag + ">\n";
}

// A stored n-point LUT element whose every entry is `value` in all channels.
inline std::string StoredLut(float value, uint32_t n = 9) {
    return LutElement("LUT", n, std::vector<float>(size_t(n) * n * n * 3, value));
}
