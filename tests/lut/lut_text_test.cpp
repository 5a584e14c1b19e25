#include "lut/lut_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(LutText, FloatTripleMatchesScanf) {
    // One case a line; 1.0000000596046448 is a double that lands on a float midpoint.
    std::istringstream special(
        "0.5 0.25 1\n1.0000000596046448 0 0\n-0 +1.5e3 .5\n1e-30 3.5e38 1e39\nnan inf -infinity\n"
        "0x1p3 1 2\n0.1 0.2 0.3abc\n0.1x 0.2 0.3\n0.5,0.5,0.5\n1e 2 3\n\v1 2 3\n"
        "12345678901234567890123 1 2\n0.30000001192092896 0.1 0.7\n1 2\n\n");
    std::vector<std::string> lines;
    for (std::string line; std::getline(special, line);)
        lines.push_back(line);
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "%.*g %.9e %.*f", 1 + int(random() % 17),
                      std::ldexp(double(random()), -int(random() % 40)), double(random()) * 1e-7,
                      int(random() % 12), double(random() % 100000) / 997.0);
        lines.push_back(line);
    }
    for (const std::string& line : lines) {
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
