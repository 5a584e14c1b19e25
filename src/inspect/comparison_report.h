#pragma once

#include "inspect/comparison.h"
#include "inspect/json_writer.h"

#include <string>

// What was compared: the two transforms' names and the lattice size.
struct ComparisonNames {
    std::string a, b;
    uint32_t size = 0;
};

// The comparison for people, lines ended by '\n', laid out as docs/comparing-and-previewing.md
// shows: the names, the colour counts, a line per set and channel of code
// figures, a line per set of ΔE00 figures, the worst colours, the verdict.
// Figures have four decimals, RGB values six.
std::string FormatComparisonText(const Comparison& comparison, const ComparisonNames& names);

// The comparison as one JSON object (keys as docs/comparing-and-previewing.md lists them).
void WriteComparisonJson(JsonWriter& json, const Comparison& comparison,
                         const ComparisonNames& names);
