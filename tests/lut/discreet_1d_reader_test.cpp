#include "../support/scratch_folder.h"
#include "../support/system_luts.h"

#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A header line, then `tables` tables of `length` values, value(i, table) one per line.
std::string Table(const std::string& header, uint32_t tables, uint32_t length,
                  const std::function<uint32_t(uint32_t, uint32_t)>& value) {
    std::string text = header + "\n";
    for (uint32_t c = 0; c < tables; ++c)
        for (uint32_t i = 0; i < length; ++i)
            text += std::to_string(value(i, c)) + "\n";
    return text;
}

uint32_t Ramp(uint32_t i, uint32_t) {
    return i;
}

// Table c holds i, largest - i, i / 2, largest.
std::function<uint32_t(uint32_t, uint32_t)> Channels(uint32_t largest) {
    return [largest](uint32_t i, uint32_t c) {
        return c == 0 ? i : c == 1 ? largest - i : c == 2 ? i / 2 : largest;
    };
}

struct Expected {
    uint32_t index;
    float r, g, b;
};

// Which headers are Discreet tables, what their entries mean, and which
// files they refuse. A table of another header is a curve set of 1024 entries.
// Only "logto12" and "photo" name a depth; the other names are free.
TEST(Discreet1dReader, HeadersDepthsAndRefusals) {
    constexpr auto kOnly3D = EDimensionRequirement::eOnly3D;
    constexpr auto kOnly1D = EDimensionRequirement::eOnly1D;
    const float c8 = 1.0f / 255, c10 = 1.0f / 1023, c12 = 1.0f / 4095, h = 127 * c8;
    const float q = 1 / 32768.0f;
    const auto gray = [](uint32_t i, float v) { return Expected{i, v, v, v}; };
    const std::string eight = Table("LUT: 3 256", 3, 256, Channels(255));
    const std::string ramp10 = Table("LUT: 3 1024", 3, 1024, Ramp);
    const std::string after0 = "\n" + Table("", 1, 255, Ramp).substr(1);
    const std::string comments =
        "# a table\n\n#\nLUT: 1 256\n0\n" +
        Table("# values", 1, 255, [](uint32_t i, uint32_t) { return i + 1; }) +
        "# trailing words\n";
    const std::string tab =
        Table("lut:\t1 1024 4096", 1, 1024, [](uint32_t i, uint32_t) { return i * 4; });
    const std::string alpha = Table("LUT: 4 4096", 4, 4096, Channels(4095));
    struct Case {
        const char* name;
        std::string text;
        EDimensionRequirement requirement;
        uint32_t size; // 0: the load fails
        std::vector<Expected> entries;
    } cases[] = {
        {"a.lut", eight, kAny, 256, {{0, 0, 1, 0}, {128, 128 * c8, h, 64 * c8}, {255, 1, 0, h}}},
        {"a.lut", eight, kOnly1D, 256, {{255, 1, 0, h}}},
        {"a.lut", eight, kOnly3D, 0, {}},
        {"a.lut", comments, kAny, 256, {gray(1, c8)}},
        {"a.lut", tab, kAny, 1024, {gray(1023, 4092 * c12)}},
        {"logto12.lut", ramp10, kAny, 1024, {gray(1023, 1023 * c12)}},
        {"photo.lut", ramp10, kAny, 1024, {gray(1023, 1), gray(1, c10)}},
        {"a.lut", alpha, kAny, 4096, {{4095, 1, 0, 2047 * c12}, {0, 0, 1, 0}}},
        // Half floats in and out, each entry its own input: the identity over [0, 1].
        {"half.lut",
         Table("LUT: 3 65536 65536f", 3, 65536, Ramp),
         kAny,
         32769,
         {gray(0, 0), gray(1, q), gray(16384, 0.5f), gray(32767, 32767 * q), gray(32768, 1)}},
        // Other headers: the curve set's integer table, entry i at i / 1023.
        {"a.lut", Table("LUT 3 256", 3, 256, Channels(255)), kAny, 1024, {{1023, 1, 0, h}}},
        {"a.lut", Table("LUT:3 256", 3, 256, Channels(255)), kAny, 1024, {{255, 1, 0, h}}},
        {"a.lut", Table("LUT: 1 512", 1, 512, Ramp), kAny, 1024, {gray(511, 511 * c10)}},
        {"a.lut", Table("LUT: 2 1024", 2, 1024, Channels(1023)), kAny, 1024, {{0, 0, 1, 1}}},
        // Refused.
        {"a.lut", Table("LUT: 3 256 12", 3, 256, Ramp), kAny, 0, {}},
        {"a.lut", eight.substr(0, eight.size() - 4), kAny, 0, {}},
        {"a.lut", "LUT: 1 256\n65536" + after0, kAny, 0, {}},
        {"a.lut", "LUT: 1 256\n0x10" + after0, kAny, 0, {}},
    };
    ScratchFolder scratch;
    for (const Case& c : cases) {
        CVxLUT lut;
        const std::string path = scratch.Write(c.name, c.text);
        EXPECT_EQ(lut.Load(SystemLuts::Plain(), path.c_str(), false, c.requirement, true),
                  c.size != 0)
            << c.name << c.text.substr(0, 20);
        ASSERT_EQ(lut.m_size, c.size) << c.name << c.text.substr(0, 20);
        if (c.size == 0)
            continue;
        EXPECT_FALSE(lut.m_is3D);
        EXPECT_EQ(lut.m_preLUT, nullptr);
        EXPECT_EQ(lut.m_domainMin[0], 0.0f);
        EXPECT_EQ(lut.m_domainMax[2], 1.0f);
        for (const Expected& e : c.entries) {
            const float rgba[4] = {e.r, e.g, e.b, 1.0f};
            for (int k = 0; k < 4; ++k)
                EXPECT_NEAR(lut.m_data[e.index * 4 + k], rgba[k], 1e-6)
                    << c.name << " at " << e.index << " channel " << k;
        }
    }
}

} // namespace
