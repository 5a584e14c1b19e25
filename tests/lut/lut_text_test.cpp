#include "lut/lut_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// One number text of a form that LUT files hold or that a scanner may get wrong: any float
// written short or long, a double on a float midpoint or next to it, a denormal, a composed
// decimal (signs, leading and trailing dots, long mantissas, exponents far beyond the float
// range), or a spelling that only the C library reads.
std::string NumberText(std::mt19937& random) {
    static const char* const kOdd[] = {
        "nan", "-INF", "+infinity", "0x1p3", "-0X1.8P-2", "++1", "+-1",  "-+1",  ".", "-.",
        "+.5", "1e",   "1e+",       ".e5",   "1..2",      "1,5", "1e5x", "0.5f", "+", "nan(7)"};
    const uint32_t bits = random();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    char text[96];
    switch (random() % 5) {
    case 0:
        std::snprintf(text, sizeof text, random() % 2 ? "%.9g" : "%.30f", double(value));
        return text;
    case 1: {
        const double midpoint = (double(value) + double(std::nextafter(value, INFINITY))) / 2;
        std::snprintf(text, sizeof text, "%.17g",
                      random() % 2 ? midpoint : std::nextafter(midpoint, random() % 2 ? 0 : 1e300));
        return text;
    }
    case 2:
        std::snprintf(text, sizeof text, random() % 2 ? "%.9g" : "%.25e",
                      std::ldexp(double(bits % 0x800000u), -149 - int(random() % 2)));
        return text;
    case 3:
        return kOdd[random() % std::size(kOdd)];
    }
    std::string composed = random() % 3 == 0 ? "-" : random() % 3 == 0 ? "+" : "";
    for (uint32_t digits = random() % 3 ? random() % 12 : random() % 60; digits > 0; --digits)
        composed += char('0' + random() % 10);
    if (composed.empty() || random() % 2)
        composed += random() % 4 ? "." + std::to_string(random() % 4000000000u) : ".";
    if (random() % 2) {
        composed += random() % 2 ? "e" : "E+";
        const uint32_t range = random() % 4 ? 80 : 100000;
        composed += std::to_string(int(random() % range) - 40);
    }
    return composed;
}

// The readers take a triple exactly as sscanf(" %f %f %f ") does: the count and every bit.
TEST(LutText, FloatTripleMatchesScanf) {
    static const char* const kBlanks[] = {" ", "\t", "  \t", "\v", ""};
    std::mt19937 random(7);
    for (int i = 0; i < 100000; ++i) {
        std::string line = random() % 8 ? "" : kBlanks[random() % 4];
        for (uint32_t k = 0, count = random() % 8 ? 3 : random() % 5; k < count; ++k) {
            const uint32_t blanks = random() % 8 ? 2 : 5;
            line += k ? kBlanks[random() % blanks] : "";
            line += NumberText(random);
        }
        float expected[3] = {-7, -7, -7};
        const int expectedCount = std::max(
            0, std::sscanf(line.c_str(), " %f %f %f ", &expected[0], &expected[1], &expected[2]));
        float actual[3] = {-7, -7, -7};
        ASSERT_EQ(ScanFloatTriple(line.data(), line.size(), actual), expectedCount) << line;
        ASSERT_EQ(std::memcmp(actual, expected, expectedCount * sizeof(float)), 0) << line;
    }
}

TEST(LutText, LinesBreakOnRunsAndTrim) {
    const std::string text = "\r\n  a b \r\r\n\n\tc\r   \nd";
    TextLines lines(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::vector<std::string> seen;
    while (lines.Next())
        seen.emplace_back(lines.Begin(), lines.Length());
    EXPECT_EQ(seen, (std::vector<std::string>{"a b", "c", "", "d"}));
}

} // namespace
