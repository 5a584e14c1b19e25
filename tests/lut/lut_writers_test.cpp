#include "lut/cubrel_writer.h"
#include "lut/lut_format_registry.h"
#include "lut/lut_writers.h"

#include "lut_writer_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Written(bool (*writer)(const LutToWrite&, ByteSink&), const LutToWrite& lut,
                    bool* result = nullptr) {
    CVxString bytes;
    StringSink sink(bytes);
    const bool written = writer(lut, sink);
    if (result != nullptr)
        *result = written;
    return std::string(bytes.c_str(), bytes.Length());
}

// Every layout a text writer knows, byte for byte, and what each refuses
// without writing anything.
TEST(LutWriters, TextFilesByteForByte) {
    const std::vector<float> lattice = {0,    0, 0,     1, -0.5f, 0, 0, 1, 0, 1,   1,     0,
                                        0.5f, 0, 1.25f, 1, 0,     1, 0, 1, 1, NAN, -0.0f, 1e-7f};
    const std::vector<float> ramp = {0, 0, 0, 0.25f, 0.5f, 2.0f, 1, 1, 1};
    const std::vector<float> shaperRamp = {0, 0, 0, 0.5f, 0.5f, 0.5f};
    const std::string latticeRows = "0.000000 0.000000 0.000000\n"
                                    "1.000000 -0.500000 0.000000\n"
                                    "0.000000 1.000000 0.000000\n"
                                    "1.000000 1.000000 0.000000\n"
                                    "0.500000 0.000000 1.250000\n"
                                    "1.000000 0.000000 1.000000\n"
                                    "0.000000 1.000000 1.000000\n"
                                    "0.000000 0.000000 0.000000\n";
    // A cube file begins with the note that this program wrote it.
    const std::string kNote = "# Written by Gradeshift\n";
    const std::string rampRows = "0.000000 0.000000 0.000000\n"
                                 "0.250000 0.500000 2.000000\n"
                                 "1.000000 1.000000 1.000000\n";

    const LutToWrite plain3D = Transform(Table(lattice, 2, true));
    const LutToWrite ranged3D = Transform(Table(lattice, 2, true, -0.125f, 1.5f));
    LutToWrite perChannel3D = plain3D;
    perChannel3D.table.domainMax[1] = 2.0f;
    const LutToWrite plain1D = Transform(Table(ramp, 3, false));
    const LutToWrite ranged1D = Transform(Table(ramp, 3, false, -1.0f, 4.0f));
    const LutToWrite shaped =
        Transform(Table(lattice, 2, true, 0.0f, 0.5f), Table(shaperRamp, 2, false, -0.5f, 2.0f));
    LutToWrite unevenShaper = shaped;
    unevenShaper.shaper.domainMin[2] = 0.0f;
    const LutToWrite shaped1D = Transform(plain1D.table, shaped.shaper);

    struct Case {
        const char* name;
        bool (*writer)(const LutToWrite&, ByteSink&);
        const LutToWrite* lut;
        std::string expected; // empty: refused
    };
    const Case cases[] = {
        {"cube 3D", WriteCubeLut, &plain3D, kNote + "LUT_3D_SIZE 2\n" + latticeRows},
        {"cube 3D range", WriteCubeLut, &ranged3D,
         kNote +
             "LUT_3D_SIZE 2\nDOMAIN_MIN -0.125000 -0.125000 -0.125000\n"
             "DOMAIN_MAX 1.500000 1.500000 1.500000\n" +
             latticeRows},
        {"cube 1D", WriteCubeLut, &plain1D, ""},
        {"cube shaper", WriteCubeLut, &shaped, ""},
        {"resolve-cube 3D", WriteResolveCubeLut, &plain3D, kNote + "LUT_3D_SIZE 2\n" + latticeRows},
        {"resolve-cube 3D range", WriteResolveCubeLut, &ranged3D,
         kNote + "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE -0.125000 1.500000\n" + latticeRows},
        {"resolve-cube per-channel domain", WriteResolveCubeLut, &perChannel3D,
         kNote +
             "LUT_3D_SIZE 2\nDOMAIN_MIN 0.000000 0.000000 0.000000\n"
             "DOMAIN_MAX 1.000000 2.000000 1.000000\n" +
             latticeRows},
        {"resolve-cube 1D", WriteResolveCubeLut, &plain1D, kNote + "LUT_1D_SIZE 3\n" + rampRows},
        {"resolve-cube 1D range", WriteResolveCubeLut, &ranged1D,
         kNote + "LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE -1.000000 4.000000\n" + rampRows},
        {"resolve-cube shaper", WriteResolveCubeLut, &shaped,
         kNote +
             "LUT_1D_SIZE 2\nLUT_1D_INPUT_RANGE -0.500000 2.000000\nLUT_3D_SIZE 2\n"
             "LUT_3D_INPUT_RANGE 0.000000 0.500000\n"
             "0.000000 0.000000 0.000000\n0.500000 0.500000 0.500000\n" +
             latticeRows},
        {"resolve-cube uneven shaper range", WriteResolveCubeLut, &unevenShaper, ""},
        {"resolve-cube shaper before a 1D table", WriteResolveCubeLut, &shaped1D, ""},
        {"spi1d", WriteSpi1dLut, &ranged1D,
         "Version 1\nFrom -1.000000 4.000000\nLength 3\nComponents 3\n{\n"
         "    0.000000 0.000000 0.000000\n    0.250000 0.500000 2.000000\n"
         "    1.000000 1.000000 1.000000\n}\n"},
        {"spi1d of a lattice", WriteSpi1dLut, &plain3D, ""},
        {"spi3d", WriteSpi3dLut, &plain3D,
         "SPILUT 1.0\n3 3\n2 2 2\n"
         "0 0 0 0.000000 0.000000 0.000000\n0 0 1 0.500000 0.000000 1.250000\n"
         "0 1 0 0.000000 1.000000 0.000000\n0 1 1 0.000000 1.000000 1.000000\n"
         "1 0 0 1.000000 -0.500000 0.000000\n1 0 1 1.000000 0.000000 1.000000\n"
         "1 1 0 1.000000 1.000000 0.000000\n1 1 1 0.000000 0.000000 0.000000\n"},
        {"spi3d with a range", WriteSpi3dLut, &ranged3D, ""},
        {"spi3d of a 1D table", WriteSpi3dLut, &plain1D, ""},
    };
    for (const Case& c : cases) {
        bool result = false;
        EXPECT_EQ(Written(c.writer, *c.lut, &result), c.expected) << c.name;
        EXPECT_EQ(result, !c.expected.empty()) << c.name;
    }
}

// Every value reads as printf's "%.6f" of it (NaN and -0 as 0): ties to even,
// whole parts of any length, values past the fast path. The table is long
// enough to be formatted in bands on several threads.
TEST(LutWriters, CubeValuesAreSixDecimalsAsPrintfGivesThem) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-2.0f, 2.0f), wide(-3e10f, 3e10f);
    std::vector<float> values(9000 * 3);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = i % 5 == 0   ? float(2 * (i % 1000) + 1) / 128.0f // the sixth decimal a tie
                    : i % 5 == 1 ? wide(random)
                                 : unit(random);
    values[4] = NAN;
    values[5] = -0.0f;
    values[6] = -4e-7f;
    std::string expected = "# Written by Gradeshift\nLUT_1D_SIZE 9000\n";
    for (size_t i = 0; i < values.size(); ++i) {
        char text[64];
        std::snprintf(text, sizeof text, "%.6f", std::isnan(values[i]) ? 0.0 : double(values[i]));
        expected += std::string(text) == "-0.000000" ? "0.000000" : text;
        expected += i % 3 == 2 ? "\n" : " ";
    }
    EXPECT_TRUE(Written(WriteResolveCubeLut, Transform(Table(values, 9000, false))) == expected);
}

// Hald images are decoded and compared with the cube of the same look end to end.
TEST(LutWriters, HaldClutRefusesWhatAnImageCannotHold) {
    // What a Hald image cannot hold: a size that is no square, a 1D table, an input range.
    const Sample odd(5);
    const std::vector<float> ramp(16 * 3, 0.5f);
    const Sample four(4);
    LutTable ranged = four.Table();
    ranged.domainMax[0] = 2.0f;
    for (const LutTable& refused : {odd.Table(), Table(ramp, 16, false), ranged}) {
        CVxString bytes;
        StringSink sink(bytes);
        EXPECT_FALSE(WriteHaldClut(refused, sink));
        EXPECT_EQ(bytes.Length(), 0u);
    }
}

TEST(LutWriters, ColorCorrectionByteForByte) {
    CdlValues cdl;
    cdl.slope[0] = 1.25;
    cdl.offset[1] = -0.00001;
    cdl.power[2] = 0.1;
    CVxString bytes;
    StringSink sink(bytes);
    ASSERT_TRUE(WriteColorCorrection(cdl, "warm & \"soft\" <1>", sink));
    EXPECT_STREQ(bytes.c_str(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<ColorCorrection id=\"warm &amp; &quot;soft&quot; &lt;1&gt;\">\n"
                                "    <Description>Written by Gradeshift</Description>\n"
                                "    <SOPNode>\n"
                                "        <Slope>1.25 1 1</Slope>\n"
                                "        <Offset>0 -0.00001 0</Offset>\n"
                                "        <Power>1 1 0.1</Power>\n"
                                "    </SOPNode>\n"
                                "    <SatNode>\n"
                                "        <Saturation>1</Saturation>\n"
                                "    </SatNode>\n"
                                "</ColorCorrection>\n");
}

// Every written format carries its mark where a later run looks for it, and
// only files that this program wrote pass for its outputs.
TEST(LutWriters, WrittenFilesCarryTheirFormatsMark) {
    const Sample sample(4);
    const std::vector<float> ramp = {0, 0, 0, 0.2f, 0.3f, 0.4f, 0.7f, 0.6f, 0.5f, 1, 1, 1};
    for (const ExportFormat& format : ExportFormats()) {
        LutToWrite lut;
        lut.table = format.holds3D ? sample.Table() : Table(ramp, 4, false);
        lut.latticeSize = 4;
        CVxString bytes;
        StringSink sink(bytes);
        const bool written = format.write != nullptr
                                 ? format.write(format, lut, sink)
                                 : WriteColorCorrection(CdlValues(), "shot", sink);
        if (!written) {
            EXPECT_TRUE(format.throughOcio && !CanWriteOcioFormats()) << format.toName;
            continue;
        }
        const std::string_view file(bytes.c_str(), bytes.Length());
        EXPECT_EQ(CarriesOurMark(*FindExportFormat(format.toName), file), !format.mark.empty())
            << format.toName;
    }
    // Near misses: an empty file and plain notes are refused end to end.
    using namespace std::string_literals;
    const std::pair<const char*, std::string> foreign[] = {
        {"cube", "LUT_3D_SIZE 2\n# Written by Gradesh\n"},
        {"cub", "# Written by Gradeshift\n# Truelight Cube v2.0\n"},
        {"clf", "<html><body>Written by Gradeshift</body></html>"},
        {"cc", "<ColorDecisionList><Description>Written by Gradeshift</Description>"},
        {"hald", "\x89PNG\r\n\x1a\n\0\0\0\x0ctEXtSoftware\0Gimp"s},
        {"spi3d", "SPILUT 1.0\n# Written by Gradeshift\n"},
    };
    for (const auto& [name, file] : foreign)
        EXPECT_FALSE(CarriesOurMark(*FindExportFormat(CVxString(name)), file)) << name;
}

// The command-line tests compare whole 9-point files; here the fields that
// change with the size.
TEST(CubrelHeader, SizeFields) {
    for (uint32_t exponent = 3; exponent <= 7; ++exponent) {
        const uint32_t n = (1u << exponent) + 1;
        std::vector<uint8_t> buffer(CubrelFileSize(n));
        ASSERT_EQ(buffer.size(), 1024u + 4 * n * n * n);
        PrepareCubrelHeader(buffer.data(), n);
        auto word = [&buffer](size_t at) {
            return uint32_t(buffer[at]) << 24 | buffer[at + 1] << 16 | buffer[at + 2] << 8 |
                   buffer[at + 3];
        };
        EXPECT_EQ(word(16), buffer.size()) << n;
        EXPECT_EQ(word(768), exponent << 16 | 1) << n;
        EXPECT_EQ(word(772), n * n * n) << n;
    }
}

TEST(CubrelCode, ClampsAndQuantises) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, uint32_t> cases[] = {
        {0.0f, 0},   {-0.25f, 0}, {nan, 0},        {-inf, 0},       {1.0f, 1023},     {1.5f, 1023},
        {inf, 1023}, {0.5f, 512}, {0.9996f, 1023}, {0.9995f, 1022}, {1.0f / 1023, 1}, {0.25f, 256}};
    for (const auto& [value, code] : cases)
        EXPECT_EQ(CubrelCode(value), code) << value;
}

// Red-fastest entries become blue-fastest big-endian words, whatever the tiles
// and the bands on several threads that large lattices are packed in.
TEST(CubrelPacking, PutsEveryWordInItsPlace) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-0.1f, 1.1f);
    for (const uint32_t n : {2u, 17u, 65u}) {
        for (const uint32_t channels : {3u, 4u}) {
            std::vector<float> lattice(size_t(n) * n * n * channels);
            for (float& v : lattice)
                v = value(random);
            lattice[channels + 1] = std::numeric_limits<float>::quiet_NaN();
            std::vector<uint8_t> packed(CubrelFileSize(n)), expected(packed.size());
            PackCubrelLattice(lattice.data(), n, channels, packed.data());
            for (size_t r = 0; r < n; ++r)
                for (size_t g = 0; g < n; ++g)
                    for (size_t b = 0; b < n; ++b) {
                        const float* rgb = &lattice[((b * n + g) * n + r) * channels];
                        const uint32_t word = CubrelCode(rgb[0]) << 20 | CubrelCode(rgb[1]) << 10 |
                                              CubrelCode(rgb[2]);
                        uint8_t* at = &expected[kCubrelHeaderSize + ((r * n + g) * n + b) * 4];
                        for (int k = 0; k < 4; ++k)
                            at[k] = uint8_t(word >> (24 - 8 * k));
                    }
            EXPECT_TRUE(std::equal(packed.begin() + kCubrelHeaderSize, packed.end(),
                                   expected.begin() + kCubrelHeaderSize))
                << n << " points, " << channels << " channels";
        }
    }
}

} // namespace
