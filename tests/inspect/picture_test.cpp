#include "inspect/image_transform.h"
#include "inspect/png_image.h"
#include "inspect/test_chart.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

std::string WriteToString(const FloatImage& image, const PngWriteOptions& options) {
    CVxString bytes;
    StringSink sink(bytes);
    EXPECT_TRUE(WritePng(image, options, sink));
    return std::string(bytes.View());
}

TEST(PngImage, WritesAndReadsBackEightBitsWithItsMark) {
    FloatImage image(3, 2);
    const float values[18] = {0.0f, 1.0f, 128 / 255.0f, 1.5f, -0.2f, NAN,  7 / 255.0f, 0.5f, 0.25f,
                              1.0f, 1.0f, 1.0f,         0.0f, 0.0f,  0.0f, 0.2f,       0.4f, 0.6f};
    image.rgb.assign(values, values + 18);
    const std::string png = WriteToString(image, {8, "Software", "Gradeshift"});
    EXPECT_NE(png.find(std::string("tEXtSoftware\0Gradeshift", 23)), std::string::npos);
    const PngReadResult back = ReadPng(png);
    ASSERT_EQ(back.error, "");
    ASSERT_EQ(back.image.width, 3u);
    ASSERT_EQ(back.image.height, 2u);
    for (size_t i = 0; i < 18; ++i) {
        const float clipped =
            std::isnan(values[i]) ? 0.0f : std::fmin(std::fmax(values[i], 0.0f), 1.0f);
        EXPECT_EQ(back.image.rgb[i], std::round(clipped * 255.0f) / 255.0f) << i;
    }
}

// A 2 by 1 PNG written by libpng itself, from the samples of one row.
std::string EncodeWithLibpng(int colourType, int bitDepth, const std::vector<uint8_t>& row,
                             bool interlaced = false) {
    std::string bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, size_t size) {
            static_cast<std::string*>(png_get_io_ptr(p))
                ->append(reinterpret_cast<char*>(data), size);
        },
        nullptr);
    png_set_IHDR(png, info, 2, 1, bitDepth, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[2] = {{255, 0, 0}, {0, 64, 255}};
    png_byte alphas[1] = {0};
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, palette, 2);
        png_set_tRNS(png, info, alphas, 1, nullptr);
    }
    png_write_info(png, info);
    if (interlaced)
        png_set_interlace_handling(png);
    std::vector<uint8_t> data = row;
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass)
        png_write_row(png, data.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

TEST(PngImage, ReadsEveryKindOfPicture) {
    struct Case {
        const char* what;
        std::string png;
        float expected[6];
    };
    const Case cases[] = {
        {"16-bit RGB",
         EncodeWithLibpng(PNG_COLOR_TYPE_RGB, 16, {0, 0, 0xFF, 0xFF, 0x80, 0x00, 0, 1, 2, 3, 4, 5}),
         {0.0f, 1.0f, 0x8000 / 65535.0f, 1 / 65535.0f, 0x203 / 65535.0f, 0x405 / 65535.0f}},
        {"16-bit grey with alpha",
         EncodeWithLibpng(PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0x12, 0x34, 0, 0, 0xFF, 0xFF, 0, 0}),
         {0x1234 / 65535.0f, 0x1234 / 65535.0f, 0x1234 / 65535.0f, 1.0f, 1.0f, 1.0f}},
        {"palette with transparency",
         EncodeWithLibpng(PNG_COLOR_TYPE_PALETTE, 8, {1, 0}),
         {0.0f, 64 / 255.0f, 1.0f, 1.0f, 0.0f, 0.0f}},
        {"2-bit grey",
         EncodeWithLibpng(PNG_COLOR_TYPE_GRAY, 2, {0x70}),
         {85 / 255.0f, 85 / 255.0f, 85 / 255.0f, 1.0f, 1.0f, 1.0f}},
        {"interlaced RGBA",
         EncodeWithLibpng(PNG_COLOR_TYPE_RGBA, 8, {10, 20, 30, 0, 40, 50, 60, 255}, true),
         {10 / 255.0f, 20 / 255.0f, 30 / 255.0f, 40 / 255.0f, 50 / 255.0f, 60 / 255.0f}},
    };
    for (const Case& c : cases) {
        const PngReadResult read = ReadPng(c.png);
        ASSERT_EQ(read.error, "") << c.what;
        ASSERT_EQ(read.image.rgb.size(), 6u) << c.what;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(read.image.rgb[i], c.expected[i]) << c.what << ' ' << i;
    }
}

TEST(PngImage, SaysWhyAFileDoesNotRead) {
    const std::string png = EncodeWithLibpng(PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(ReadPng("GIF89a....").error, "not a PNG file");
    EXPECT_EQ(ReadPng(png.substr(0, 40)).error, "the PNG file is damaged: the file ends early");
}

// Colours inside the cube are compared with an independent trilinear
// interpolation through the Python module, and previews with ffmpeg's.
TEST(ImageTransform, InterpolatesTheLatticeTrilinearly) {
    constexpr uint32_t n = 3;
    std::vector<float> nodes(n * n * n * 3);
    for (size_t i = 0; i < nodes.size(); ++i)
        nodes[i] = float((i * 37) % 11) / 10.0f;
    const LatticeView lattice{nodes.data(), n};
    auto node = [&](uint32_t r, uint32_t g, uint32_t b) {
        return &nodes[((b * n + g) * n + r) * 3];
    };
    // The centre of the upper cell is the mean of its corners; inputs outside
    // [0, 1] or NaN are clamped first.
    float colours[6] = {0.75f, 0.75f, 0.75f, -1.0f, 2.0f, NAN};
    ApplyLattice(lattice, colours, colours, 2, 2);
    for (int c = 0; c < 3; ++c) {
        float sum = 0.0f;
        for (uint32_t corner = 0; corner < 8; ++corner)
            sum += node(1 + (corner & 1), 1 + (corner >> 1 & 1), 1 + (corner >> 2))[c];
        EXPECT_NEAR(colours[c], sum / 8.0f, 1e-6f);
        EXPECT_EQ(colours[3 + c], node(0, 2, 0)[c]);
    }
}

TEST(ImageTransform, ShrinksPicturesByTheMeanOfWhatEachPixelCovers) {
    FloatImage before(4, 2);
    for (size_t i = 0; i < before.rgb.size(); ++i)
        before.rgb[i] = float(i / 3); // pixel k holds k
    const FloatImage small = ShrinkToFit(before, 2, 2);
    ASSERT_EQ(small.width, 2u);
    ASSERT_EQ(small.height, 1u);
    EXPECT_EQ(small.Pixel(0, 0)[1], (0 + 1 + 4 + 5) / 4.0f);
    EXPECT_EQ(small.Pixel(1, 0)[1], (2 + 3 + 6 + 7) / 4.0f);
}

TEST(TestChart, HoldsTheColourCheckerPatchesAndTheGreyRamp) {
    const FloatImage chart = MakeTestChart();
    ASSERT_EQ(chart.width, kTestChartWidth);
    ASSERT_EQ(chart.height, kTestChartHeight);
    for (uint32_t patch = 0; patch < 24; ++patch) {
        const float* centre = chart.Pixel(patch % 6 * kChartPatchWidth + kChartPatchWidth / 2,
                                          patch / 6 * kChartPatchHeight + kChartPatchHeight / 2);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(centre[c], kColourCheckerSrgb[patch][c] / 255.0f) << patch;
    }
    EXPECT_EQ(kColourCheckerSrgb[0][0], 115); // dark skin
    EXPECT_EQ(kColourCheckerSrgb[23][2], 52); // black
    const uint32_t rampMiddle = 4 * kChartPatchHeight + 20;
    EXPECT_EQ(chart.Pixel(0, rampMiddle)[0], 0.0f);
    EXPECT_EQ(chart.Pixel(50 * 6 + 3, rampMiddle)[1], 0.5f);
    EXPECT_EQ(chart.Pixel(kTestChartWidth - 1, rampMiddle)[2], 1.0f);
}

} // namespace
