#include "foundation/xml_values.h"
#include "foundation/xml_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(XmlValues, ParsersConvertTheWholeTextOrLeaveTheTarget) {
    const struct {
        const char* text;
        bool uintOk;
        uint32_t uintValue;
        bool doubleOk;
        double doubleValue;
    } cases[] = {
        {"33", true, 33, true, 33},    {"33x", false, 0, false, 0},
        {"", false, 0, false, 0},      {"-5", false, 0, true, -5},
        {"+7", false, 0, true, 7},     {" 7", false, 0, false, 0},
        {"0.5", false, 0, true, 0.5},  {"4294967295", true, 4294967295u, true, 4294967295.0},
        {".5", false, 0, true, 0.5},   {"4294967296", false, 0, true, 4294967296.0},
        {"5.", false, 0, true, 5},     {"-1.5e-3", false, 0, true, -0.0015},
        {"1e", false, 0, false, 0},    {".", false, 0, false, 0},
        {"inf", false, 0, false, 0},   {"0x10", false, 0, false, 0},
        {"1e999", false, 0, false, 0}, {"-0.01e-399", false, 0, true, 0},
    };
    for (const auto& c : cases) {
        uint32_t u = 0;
        double d = 0;
        EXPECT_EQ(ParseXMLUInt32(c.text, u), c.uintOk) << c.text;
        EXPECT_EQ(u, c.uintValue) << c.text;
        EXPECT_EQ(ParseXMLDouble(c.text, d), c.doubleOk) << c.text;
        EXPECT_DOUBLE_EQ(d, c.doubleValue) << c.text;
    }
    uint32_t ranged = 9;
    EXPECT_FALSE(ParseXMLUInt32("3", ranged, 0, 2));
    EXPECT_EQ(ranged, 9u);
}

TEST(XmlValues, BooleansAndColours) {
    const struct {
        const char* text;
        bool ok;
        bool value;
    } bools[] = {{"Yes", true, true}, {"TRUE", true, true}, {"on", true, true},
                 {"1", true, true},   {"No", true, false},  {"OFF", true, false},
                 {"0", true, false},  {"2", false, true},   {"yess", false, true},
                 {"01", false, true}, {"", false, true}};
    for (const auto& c : bools) {
        bool value = true;
        EXPECT_EQ(ParseXMLBool(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }

    const struct {
        const char* text;
        bool ok;
        float rgba[4];
    } colours[] = {
        {"0.5", true, {0.5f, 0.5f, 0.5f, 1}}, {"0.5,0.25", true, {0.5f, 0.5f, 0.5f, 0.25f}},
        {"1, 2, 3", true, {1, 2, 3, 1}},      {"1,2,3,4", true, {1, 2, 3, 4}},
        {"1,2,3,4,5", false, {9, 9, 9, 9}},   {"1,,3", false, {9, 9, 9, 9}},
        {"1,x,3", false, {9, 9, 9, 9}},
    };
    for (const auto& c : colours) {
        float rgba[4] = {9, 9, 9, 9};
        EXPECT_EQ(ParseXMLColor(c.text, rgba), c.ok) << c.text;
        EXPECT_EQ(std::vector<float>(rgba, rgba + 4), std::vector<float>(c.rgba, c.rgba + 4))
            << c.text;
    }
}

// The elements themselves are checked in the texts of the look tests.
TEST(XmlWriter, DecimalTidying) {
    const struct {
        double value;
        int places;
        const char* text;
    } decimals[] = {
        {2.0, 5, "2"},    {100.0, 5, "100"},   {static_cast<float>(0.3), 15, "0.300000011920929"},
        {0.0, 5, "0"},    {-0.25, 5, "-0.25"}, {0.123456789, 5, "0.12346"},
        {-1e-9, 5, "-0"},
    };
    for (const auto& c : decimals)
        EXPECT_EQ(std::string(FormatXMLDecimal(c.value, c.places).c_str()), c.text);
}

} // namespace
