#pragma once

#include "render/base_shader_definition.h"
#include "render/kernel_registry.h"
#include "render/shader_definition.h"

#include "pixel_test_support.h"

#include <gtest/gtest.h>

// A base grading layer: the built-in definition bound to the layer's parameters.
class BaseLayer {
public:
    explicit BaseLayer(const std::string& parameters) {
        EXPECT_TRUE(m_definition.Parse(BaseShaderDefinitionText(true)));
        EXPECT_TRUE(m_definition.Bind(Params(parameters))) << m_definition.Message().c_str();
    }

    const ShaderScript* Script() const { return &m_definition.Script(); }
    std::unique_ptr<PixelStage> Pass(const char* shader, const LutTexture* matrixLut = nullptr,
                                     const LutTexture* baseLut = nullptr) const {
        const ShaderLookupTable& table = m_definition.LookupTables()[0];
        PixelStageSetup setup;
        setup.script = Script();
        setup.textures[6] = matrixLut;
        setup.textures[3] = baseLut;
        setup.lookups[5] = {table.Data().data(), table.RowCount()};
        return FindPixelStage(shader)(setup);
    }

private:
    ShaderDefinition m_definition;
};

// One pixel of alpha 0.5 through a pass of a base layer.
struct BasePassCase {
    std::string parameters;
    const char* kernel; // names the pass and the steps it takes
    Rgb in;
    Rgb expected;
    int textures = 0; // 1: the base LUT, 2: the matrix LUT as well
};

// The pass chooses the case's kernel variant, gives its colour and keeps the alpha.
inline void ExpectPassColour(const BasePassCase& c, const LutTexture* matrixLut = nullptr,
                             const LutTexture* baseLut = nullptr) {
    const BaseLayer layer(c.parameters);
    const std::unique_ptr<PixelStage> stage =
        layer.Pass(("VEXLAN." + std::string(c.kernel, 6)).c_str(),
                   c.textures > 1 ? matrixLut : nullptr, c.textures > 0 ? baseLut : nullptr);
    EXPECT_STREQ(stage->KernelName(), c.kernel);
    const std::array<float, 4> out = RunPixel(*stage, c.in, 0.5f);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(out[k], c.expected[k], 1e-6) << c.kernel << " channel " << k;
    EXPECT_EQ(out[3], 0.5f) << c.kernel;
}
