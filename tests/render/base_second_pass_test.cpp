#include "render/base_second_pass.h"

#include "base_layer.h"

#include <algorithm>

namespace {

// Secondary 1 keyed on hue alone: full weight within 30 degrees of red, none
// beyond 60. The hue of (1, 0.75, 0) is 45 degrees, read from the row at
// 45 * 1023/1024.
const std::string kRedKey = "enableHLS1.y=0 enableHLS1.z=0 middleHLS1.x=0 rangeHLS1.x=30 "
                            "toleranceHLS1.x=30 gain1.x=1 gain1.y=1 gain1.z=1 ";

TEST(BaseSecondPass, KeysAndColours) {
    const float e = (60 - 45 * 1023.0f / 1024) / 30;
    const Rgb red = {1, 0, 0}, green = {0, 1, 0}, orange = {1, 0.75f, 0};
    const Rgb gray = {0.7f, 0.7f, 0.7f};
    const std::string inverted = kRedKey + "invert123.x=1";
    const std::string grayOut = kRedKey + "GrayOut1=2 GrayOut2=2 GrayOut3=2 ";
    const std::string greenKey5 = "enableHLS5.y=0 enableHLS5.z=0 middleHLS5.x=120 rangeHLS5.x=30 "
                                  "toleranceHLS5.x=30 gain5.y=1";
    const BasePassCase cases[] = {
        {kRedKey, "Base.2[Keys123]", red, {2, 0, 0}},
        {kRedKey, "Base.2[Keys123]", orange, {1 + e, 0.75f * (1 + e), 0}},
        {kRedKey, "Base.2[Keys123]", green, green},
        {inverted, "Base.2[Keys123,Invert123]", orange, {2 - e, 0.75f * (2 - e), 0}},
        {inverted, "Base.2[Keys123,Invert123]", green, {0, 2, 0}},
        {kRedKey + "saturation123.x=0", "Base.2[Keys123]", red, {0.598f, 0.598f, 0.598f}},
        {greenKey5, "Base.2[Keys456]", {0.2f, 1, 0.2f}, {0.2f, 2, 0.2f}},
        {grayOut, "Base.2[Keys123,GrayOut]", green, gray},
        {grayOut, "Base.2[Keys123,GrayOut]", red, gray},
        // Both groups grayed out: the plain variant.
        {grayOut + "GrayOut4=2 GrayOut5=2 GrayOut6=2", "Base.2[Keys123,Keys456]", green, green},
    };
    for (const BasePassCase& c : cases)
        ExpectPassColour(c);
}

// Secondary 1 keyed on lightness alone with weight 1 - L: on a gray image
// with gain 2 a pixel p becomes p * (2 - L), L the lightness of its key colour.
TEST(BaseSecondPass, BlurredKeysClampAtTheEdges) {
    const float a = 8.6666666666f, d = 5.3333333333f, t = 3.3333333333f;
    const float weights[2][5][5] = {
        {{0, 0, 0, 0, 0}, {0, 0.5f, 1, 0.5f, 0}, {0, 1, 1, 1, 0}, {0, 0.5f, 1, 0.5f, 0}},
        {{0, 1, t, 1, 0}, {1, d, a, d, 1}, {t, a, a, a, t}, {1, d, a, d, 1}, {0, 1, t, 1, 0}}};
    const float factors[2] = {0.1428571428f, 0.0117647059f};
    const float amounts[2] = {1, float(2 / 1.33)};
    const uint32_t width = 4, height = 3;
    std::vector<float> image(width * height * 4);
    for (uint32_t i = 0; i < width * height; ++i) {
        std::fill_n(image.begin() + i * 4, 3, 0.1f + 0.05f * (i % width) + 0.2f * (i / width));
        image[i * 4 + 3] = static_cast<float>(i);
    }
    auto at = [&](int x, int y) {
        return image[(std::clamp(y, 0, 2) * width + std::clamp(x, 0, 3)) * 4];
    };
    const RgbaRows source{image.data(), width, height, width * 4};
    const std::string lightnessKey =
        kRedKey + "enableHLS1.x=0 enableHLS1.y=1 middleHLS1.y=0 toleranceHLS1.y=1 ";
    for (int wide = 0; wide < 2; ++wide) {
        const std::string blur = std::to_string(1 + wide);
        const BaseLayer layer(lightnessKey + "blur123.x=" + blur + " blur123.y=" + blur +
                              " blur123.z=" + blur);
        const std::unique_ptr<PixelStage> stage = layer.Pass("VEXLAN.Base.2");
        EXPECT_STREQ(stage->KernelName(),
                     wide ? "Base.2[Blur5x5,Keys123]" : "Base.2[Blur3x3,Keys123]");
        ASSERT_TRUE(stage->ReadsNeighbours());
        std::vector<float> out(width * 4);
        for (uint32_t y = 0; y < height; ++y) {
            stage->ProcessRowWithNeighbours(source, y, out.data());
            for (uint32_t x = 0; x < width; ++x) {
                float sum = 0;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx)
                        sum += weights[wide][dy + 2][dx + 2] * at(x + dx, y + dy);
                const float p = at(x, y);
                const float key = p + amounts[wide] * (sum * factors[wide] - p);
                for (int k = 0; k < 3; ++k)
                    EXPECT_NEAR(out[x * 4 + k], p * (2 - key * 1023 / 1024), 1e-6) << x << "," << y;
                EXPECT_EQ(out[x * 4 + 3], float(y * width + x));
            }
        }
    }
    EXPECT_FALSE(BaseLayer(kRedKey).Pass("VEXLAN.Base.2")->ReadsNeighbours());
    EXPECT_FALSE(BaseLayer("blur123.x=1").Pass("VEXLAN.Base.2")->ReadsNeighbours());
}

} // namespace
