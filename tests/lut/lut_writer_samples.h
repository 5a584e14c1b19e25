#pragma once

#include "lut/lut_writers.h"

#include <algorithm>
#include <cstdint>
#include <vector>

inline LutTable Table(const std::vector<float>& values, uint32_t size, bool is3D, float low = 0.0f,
                      float high = 1.0f) {
    LutTable table;
    table.values = values.data();
    table.size = size;
    table.is3D = is3D;
    std::fill(table.domainMin, table.domainMin + 3, low);
    std::fill(table.domainMax, table.domainMax + 3, high);
    return table;
}

inline LutToWrite Transform(const LutTable& table, const LutTable& shaper = LutTable()) {
    LutToWrite lut;
    lut.table = table;
    lut.shaper = shaper;
    return lut;
}

// A lattice with crosstalk and curves whose values reach below 0 and above 1,
// red fastest, as the writers take it.
struct Sample {
    uint32_t size;
    std::vector<float> values;

    explicit Sample(uint32_t n) : size(n) {
        values.reserve(static_cast<size_t>(n) * n * n * 3);
        for (uint32_t b = 0; b < n; ++b)
            for (uint32_t g = 0; g < n; ++g)
                for (uint32_t r = 0; r < n; ++r) {
                    const float node[3] = {Node(r), Node(g), Node(b)};
                    float rgb[3];
                    Evaluate(node, rgb);
                    values.insert(values.end(), rgb, rgb + 3);
                }
    }

    float Node(uint32_t i) const { return static_cast<float>(i) / static_cast<float>(size - 1); }

    static void Evaluate(const float in[3], float out[3]) {
        out[0] = 1.3f * in[0] * in[0] - 0.2f + 0.1f * in[1];
        out[1] = 0.5f * (in[1] + in[2] * in[2]);
        out[2] = 0.9f * in[2] + 0.25f * in[0] * in[1];
    }

    LutTable Table() const {
        LutTable table;
        table.values = values.data();
        table.size = size;
        table.is3D = true;
        return table;
    }
};
