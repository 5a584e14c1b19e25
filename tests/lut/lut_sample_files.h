#pragma once

// Sample LUT files built in memory for the reader and loader tests, and the
// calls that hand them to one reader.

#include "lut/lut.h"
#include "lut/lut_formats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using enum EReaderResult;
inline constexpr EDimensionRequirement kAny = EDimensionRequirement::eAnyDimension;

template <typename Bytes>
EReaderResult Read(LutReader* reader, CVxLUT& lut, const Bytes& bytes, bool upsample = false) {
    return reader(lut, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), upsample,
                  kAny);
}

inline const float* Entry(const CVxLUT& lut, uint32_t r, uint32_t g, uint32_t b) {
    return lut.m_data + r * 4 + g * lut.m_greenStride + b * lut.m_blueStride;
}

// An entry of a 1D table: its index and its colour.
struct Expected {
    uint32_t index;
    float r, g, b;
};

// Each listed entry of an RGBA table, alpha 1, to 1e-6.
inline void ExpectEntries(const float* rgba, const std::vector<Expected>& entries,
                          const std::string& name) {
    for (const Expected& e : entries) {
        const float colour[4] = {e.r, e.g, e.b, 1.0f};
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(rgba[e.index * 4 + k], colour[k], 1e-6)
                << name << " at " << e.index << " channel " << k;
    }
}

// The first `lines` entries of an n-point identity lattice, red fastest.
inline std::string CubeBody(uint32_t n, uint32_t lines) {
    std::string text;
    for (uint32_t i = 0; i < lines; ++i) {
        const uint32_t r = i % n, g = (i / n) % n, b = i / (n * n);
        char line[96];
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", r / float(n - 1), g / float(n - 1),
                      b / float(n - 1));
        text += line;
    }
    return text;
}

inline std::string CubeFile(uint32_t n) {
    return "LUT_3D_SIZE " + std::to_string(n) + "\n" + CubeBody(n, n * n * n);
}

inline const std::string kIdentityRamp =
    "0 0 0\n0.333333 0.333333 0.333333\n0.666667 0.666667 0.666667\n1 1 1\n";

inline std::string TruelightFile(int width, const std::string& inputLut,
                                 const std::string& extra = "") {
    std::string text = "# Truelight Cube v2.1\n# iDims 3\n# oDims 3\n";
    if (width)
        text += "# width " + std::to_string(width) + " " + std::to_string(width) + " " +
                std::to_string(width) + "\n";
    text += "# lutLength 4\n#\n# InputLUT\n" + inputLut + extra;
    if (width)
        text += "# Cube\n" + CubeBody(width, width * width * width);
    return text + "# end\n";
}

// A Cubrel file of size 2^e + 1 whose word at (r, g, b) is code r*100 + g*10 + b in each field,
// at least `length` bytes long; the header is written over a lattice that starts inside it.
inline std::vector<uint8_t> CubrelFile(uint32_t e, bool bigEndian, uint32_t dataOffset = 1024,
                                       size_t length = 0) {
    const uint32_t n = (1u << e) + 1;
    std::vector<uint8_t> file(std::max<size_t>(dataOffset + 4 * n * n * n, length), 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            file[at + k] = uint8_t(v >> (bigEndian ? 24 - 8 * k : 8 * k));
    };
    size_t at = dataOffset;
    for (uint32_t r = 0; r < n; ++r)
        for (uint32_t g = 0; g < n; ++g)
            for (uint32_t b = 0; b < n; ++b, at += 4)
                put32(at, ((r * 100) << 20) | ((g * 10) << 10) | b);
    std::memcpy(file.data(), bigEndian ? "3LUT" : "TUL3", 4);
    put32(4, dataOffset);
    put32(660, 0xFFFFFFFFu);
    file[bigEndian ? 769 : 768] = uint8_t(e);
    return file;
}

inline float PayloadValue(size_t index) {
    return float(index) * 0.125f - 3.0f;
}

// A container with `entries` payload triples, then cut to `length` bytes (0: keep all).
inline std::vector<uint8_t> Container(const char* magic, uint32_t size, uint32_t dimensions,
                                      uint32_t keyBlock, size_t entries, size_t length = 0) {
    std::vector<uint8_t> bytes(magic, magic + 4);
    // Words and floats in the order of this (little-endian) machine.
    auto put = [&bytes](auto value) {
        const uint8_t* at = reinterpret_cast<const uint8_t*>(&value);
        bytes.insert(bytes.end(), at, at + 4);
    };
    for (uint32_t word : {size, dimensions, keyBlock})
        put(word);
    if (std::strcmp(magic, "VTX2") == 0) {
        for (float v : {0.0f, -0.5f, 0.25f, 2.0f, 2.5f, 1.0f})
            put(v);
    }
    bytes.resize(bytes.size() + keyBlock, 0);
    for (size_t k = 0; k < entries * 3; ++k)
        put(PayloadValue(k));
    if (length != 0)
        bytes.resize(length, 0x7F);
    return bytes;
}

inline std::string HexOf(const std::vector<float>& values) {
    std::string hex;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(values.data());
    for (size_t i = 0; i < values.size() * 4; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        hex += pair;
    }
    return hex;
}

// A look whose LUT element holds the children, after a comment of `commentLength` dashes.
inline std::string LookWith(const std::string& lutChildren, size_t commentLength = 0) {
    const std::string comment =
        commentLength ? "<!--" + std::string(commentLength, '-') + "-->\n" : "";
    return "<?xml version=\"1.0\" ?>\n" + comment + "<look>\n  <shaders>\n  </shaders>\n  <LUT>\n" +
           lutChildren + "  </LUT>\n</look>\n";
}

// Size 2, the other children, then the data.
inline std::string SizedData(const std::string& hex, const std::string& others = "") {
    return "<size>\"2\"</size>" + others + "<data>\"" + hex + "\"</data>";
}
