#include "cli_harness.h"

#include <cmath>
#include <functional>

namespace {

// Output of one channel of a curve-set file at input level x (0 to 1).
using Channel = std::function<double(double)>;

// The code of the log-to-linear conversion curve at code value `code`.
double Conversion(int code, double gammaLog, double gammaDisplay, int black, int white) {
    const double q = gammaLog / gammaDisplay;
    const double gain = 255.0 / (1.0 - std::pow(std::pow(10.0, (black - white) / 300.0), q));
    if (code > white)
        return 1.0; // no soft clip: every code above white holds 255
    const double value =
        std::pow(std::pow(10.0, (code - white) / 300.0), q) * gain - (gain - 255.0);
    return std::clamp(std::trunc(value), 0.0, 255.0) / 255.0;
}

// Channels of a table that hold their value at every code i/1023 exactly.
Channel AtCodes(const std::function<double(int)>& entry) {
    return [entry](double x) { return entry(static_cast<int>(std::lround(x * 1023))); };
}

// The curve set becomes a 1D table of 1024 entries, sampled at i/1023; the
// wrapping look reads that table at a lattice value c between its entries
// floor(1023 c) and the next, linearly.
double ThroughTable(const Channel& channel, double c) {
    const double t = c * 1023.0;
    const int i = std::min(static_cast<int>(t), 1022);
    const double a = channel(i / 1023.0), b = channel((i + 1) / 1023.0);
    return (b - a) * (t - i) + a;
}

// The Cubrel file's lattice words against the channels, one code of rounding allowed.
void ExpectCubrel9(const std::string& file, const Channel channels[3], const std::string& name) {
    ASSERT_EQ(file.size(), 1024u + 4 * 729) << name;
    ASSERT_EQ(file.substr(0, 4), "3LUT") << name;
    int mismatches = 0;
    // Blue fastest, red in the highest bits of a big-endian word.
    for (uint32_t i = 0; i < 729; ++i) {
        uint32_t word = 0;
        for (int k = 0; k < 4; ++k)
            word = word << 8 | static_cast<uint8_t>(file[1024 + 4 * i + k]);
        const uint32_t index[3] = {i / 81, i / 9 % 9, i % 9};
        for (int c = 0; c < 3; ++c) {
            const int code = static_cast<int>(word >> (20 - 10 * c) & 1023);
            const double value = ThroughTable(channels[c], index[c] / 8.0);
            mismatches +=
                std::abs(code - static_cast<int>(CubrelCode(static_cast<float>(value)))) > 1;
        }
    }
    EXPECT_EQ(mismatches, 0) << name;
}

using CurveFlowTest = CliTest;

TEST_F(CurveFlowTest, EveryCurveSetFormatBecomesACubrelLut) {
    std::string table = "LUT: 3 1024\n";
    for (int channel = 0; channel < 3; ++channel)
        for (int i = 0; i < 1024; ++i)
            table += std::to_string(channel == 0 ? i : channel == 1 ? 1023 - i : i / 2) + "\n";
    std::string columns;
    for (int k = 0; k < 256; ++k)
        columns += std::to_string(k) + " " + std::to_string(255 - k) + "\t64\n";
    const auto identity = [](double x) { return x; };
    const auto inverse = [](double x) { return 1.0 - x; };
    const Channel conversion = AtCodes([](int i) { return Conversion(i, 1.7, 2.2, 95, 600); });
    const struct {
        const char* file;
        std::string text;
        Channel channels[3];
    } cases[] = {
        {"conversion.lut",
         "ReferenceWhite = 600\nGammaLog 1.7\n",
         {conversion, conversion, conversion}},
        {"log10bit.lut",
         "<values>\n  <Log10Bit>\n    <ReferenceWhiteR>\"600\"</ReferenceWhiteR>\n"
         "    <ReferenceBlackB>\"150\"</ReferenceBlackB>\n"
         "    <GammaDisplayG>\"2.6\"</GammaDisplayG>\n  </Log10Bit>\n</values>\n",
         {conversion, AtCodes([](int i) { return Conversion(i, 1.7, 2.6, 95, 685); }),
          AtCodes([](int i) { return Conversion(i, 1.7, 2.2, 150, 685); })}},
        {"table.lut",
         table,
         {AtCodes([](int i) { return i / 1023.0; }),
          AtCodes([](int i) { return (1023 - i) / 1023.0; }),
          AtCodes([](int i) { return (i / 2) / 1023.0; })}},
        {"expression.lut",
         "Lookup(curves, Linear(0, 0@0, 1@1), Linear(0, 1@0, 0@1), Linear(0, 0.2@0, 0.8@1),\n"
         "       Linear(0, 0@0, 1@1))\n",
         {identity, inverse, [](double x) { return 0.2 + 0.6 * x; }}},
        {"columns.lut", columns, {identity, inverse, [](double) { return 64.0 / 255.0; }}},
        {"script.lut",
         "<VEXLANScript>\nred = in * in;\ngreen = in;\nblue = 1 - in;\n</VEXLANScript>\n",
         {[](double x) { return x * x; }, identity, inverse}},
    };
    for (const auto& c : cases)
        WriteFile(c.file, c.text);
    const RunResult result = Run({"*.lut", "-cubrel", "-size", "9"});
    std::string sorted = kBanner;
    for (const char* name : {"columns.lut", "conversion.lut", "expression.lut", "log10bit.lut",
                             "script.lut", "table.lut"})
        sorted += "\n" + std::string(name) + ":\n" + kWritten;
    EXPECT_EQ(result.out, sorted);
    for (const auto& c : cases)
        ExpectCubrel9(ReadFile(c.file), c.channels, c.file);

    // In rebuild mode the same file becomes a look that names it.
    WriteFile("script.lut", cases[5].text);
    const RunResult rebuilt = Run({"script.lut", "-size", "8"});
    EXPECT_EQ(rebuilt.out, kBanner + "\nscript.lut:\n  LUT updated successfully\n");
    EXPECT_NE(ReadFile("script.look").find(Parameter("BaseLUT", "script.lut")), std::string::npos);
}

} // namespace
