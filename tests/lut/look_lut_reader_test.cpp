#include "lut_sample_files.h"

#include <gtest/gtest.h>

#include <bit>
#include <tuple>

namespace {

TEST(LookLutReader, DataSizeAndDomain) {
    std::vector<float> values(24);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = float(i) / 8;
    const std::string hex = HexOf(values);
    std::string spaced = hex.substr(0, 10) + " \n" + hex.substr(10);
    CVxLUT lut;
    const std::string others = "<domainmax>\"2,3\"</domainmax><note>\"x\"</note>";
    ASSERT_EQ(Read(ReadLookLut, lut, LookWith(SizedData(spaced, others))), eLoaded);
    EXPECT_EQ(lut.m_size, 2u);
    EXPECT_EQ(Entry(lut, 1, 1, 1)[2], 23.0f / 8);
    EXPECT_EQ(Entry(lut, 1, 1, 1)[3], 1.0f);
    EXPECT_EQ(lut.m_domainMax[2], 2.0f);
    EXPECT_EQ(lut.m_domainMax[3], 3.0f);

    std::string lower = hex;
    lower[1] = 'a';
    const std::tuple<const char*, std::string, EReaderResult> cases[] = {
        {"too much data", SizedData(hex + "00"), eFailed},
        {"odd digits", SizedData(hex.substr(0, 23)), eLoaded},
        {"lower-case digit dropped", SizedData(lower), eLoaded},
        {"empty data", SizedData("xyz"), eFailed},
        {"data before size", "<data>\"" + hex + "\"</data><size>\"2\"</size>", eFailed},
        {"bad size", "<size>\"2x\"</size>", eFailed},
        {"no data", "<size>\"2\"</size>", eFailed},
    };
    for (const auto& [name, children, result] : cases) {
        CVxLUT one;
        EXPECT_EQ(Read(ReadLookLut, one, LookWith(children)), result) << name;
    }
    // Every hex digit, in runs cut by dropped bytes at every offset.
    const uint32_t words[] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};
    std::vector<float> patterns(24);
    for (size_t i = 0; i < patterns.size(); ++i)
        patterns[i] = std::bit_cast<float>(words[i % 4] ^ uint32_t(i));
    const std::string all = HexOf(patterns);
    for (size_t at = 0; at <= 17; ++at)
        for (const char* gap : {"\n      ", "a", "\r\n"}) {
            CVxLUT cut;
            const std::string data = all.substr(0, at) + gap + all.substr(at);
            ASSERT_EQ(Read(ReadLookLut, cut, LookWith(SizedData(data))), eLoaded) << data;
            for (size_t i = 0; i < patterns.size(); ++i)
                EXPECT_EQ(std::bit_cast<uint32_t>(cut.m_data[i / 3 * 4 + i % 3]),
                          std::bit_cast<uint32_t>(patterns[i]))
                    << at << gap;
        }
    CVxLUT shifted;
    ASSERT_EQ(Read(ReadLookLut, shifted, LookWith(SizedData(lower))), eLoaded);
    EXPECT_NE(Entry(shifted, 0, 0, 0)[1], values[1]) << "later bytes shift";
    CVxLUT empty;
    EXPECT_EQ(
        Read(ReadLookLut, empty, std::string("<?xml?><look></look><LUT><size>\"2\"</size></LUT>")),
        eFailed);
}

} // namespace
