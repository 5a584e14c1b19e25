#pragma once

#include <cstdio>
#include <string>

// A CLF process list: the given process nodes, then a 33-point 3D LUT with
// crosstalk, blue fastest.
inline std::string ClfWithLattice(const std::string& nodesBefore) {
    std::string text =
        "<ProcessList id=\"bench\" compCLFversion=\"3\">\n" + nodesBefore +
        "<LUT3D inBitDepth=\"32f\" outBitDepth=\"32f\">\n<Array dim=\"33 33 33 3\">\n";
    char line[80];
    for (int i = 0; i < 33 * 33 * 33; ++i) {
        const double r = i / 1089 / 32.0, g = i / 33 % 33 / 32.0, b = i % 33 / 32.0;
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", r * r, 0.5 * (g + b), b * (1 - r / 4));
        text += line;
    }
    return text + "</Array>\n</LUT3D>\n</ProcessList>\n";
}
