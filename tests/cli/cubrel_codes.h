#pragma once

#include "cli_harness.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

// The colour a file means for one input colour.
using Meaning = std::function<void(const double in[3], double out[3])>;

// The largest distance, in 10-bit codes, between the channels of an n-point
// Cubrel file (big-endian words, blue fastest, red in the high bits) and the
// codes of the meaning at its nodes; 1024 when the file is no such file.
inline int LargestCodeError(const std::string& file, const Meaning& meaning, uint32_t n = 17) {
    const uint32_t entries = n * n * n;
    if (file.size() != 1024 + 4 * entries || file.compare(0, 4, "3LUT") != 0)
        return 1024;
    int largest = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t word = 0;
        for (int k = 0; k < 4; ++k)
            word = word << 8 | static_cast<uint8_t>(file[1024 + 4 * i + k]);
        const double in[3] = {double(i / (n * n)) / (n - 1), double(i / n % n) / (n - 1),
                              double(i % n) / (n - 1)};
        double out[3];
        meaning(in, out);
        for (int c = 0; c < 3; ++c) {
            const int code = static_cast<int>(word >> (20 - 10 * c) & 1023);
            largest = std::max(
                largest, std::abs(code - static_cast<int>(CubrelCode(static_cast<float>(out[c])))));
        }
    }
    return largest;
}

// The largest distance, in 10-bit codes of values clamped to [0, 1], between
// two meanings at the nodes of an n-point lattice.
inline int LargestCodeDifference(const Meaning& a, const Meaning& b, uint32_t n) {
    int largest = 0;
    for (uint32_t i = 0; i < n * n * n; ++i) {
        const double in[3] = {double(i % n) / (n - 1), double(i / n % n) / (n - 1),
                              double(i / (n * n)) / (n - 1)};
        double outA[3], outB[3];
        a(in, outA);
        b(in, outB);
        for (int c = 0; c < 3; ++c)
            largest = std::max(largest, std::abs(static_cast<int>(CubrelCode(float(outA[c]))) -
                                                 static_cast<int>(CubrelCode(float(outB[c])))));
    }
    return largest;
}

// A .cube file of one table: the size of its lattice, its input range and its rows.
struct CubeTable {
    uint32_t size = 0;
    double low = 0, high = 1;
    std::vector<double> rows;
};

inline CubeTable ReadCubeTable(const std::string& text) {
    CubeTable cube;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first == "LUT_3D_SIZE")
            words >> cube.size;
        else if (first == "DOMAIN_MIN")
            words >> cube.low;
        else if (first == "DOMAIN_MAX")
            words >> cube.high;
        else if (!first.empty() && (std::isdigit(static_cast<unsigned char>(first[0])) ||
                                    first[0] == '-' || first[0] == '.')) {
            cube.rows.push_back(std::stod(first));
            for (double value = 0; words >> value;)
                cube.rows.push_back(value);
        }
    }
    return cube;
}
