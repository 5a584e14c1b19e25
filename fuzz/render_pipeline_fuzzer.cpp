// Renders the bytes as a pipeline text over a 4x4 source, with two gradings,
// a mask, transforms and a few small LUT files the pipeline can name.
#include "fuzz_support.h"

#include "look/grading_params.h"
#include "look/look_reader.h"
#include "render/compositing_engine.h"
#include "render/render_context.h"
#include "render/render_image.h"
#include "render/shader_registry.h"

#include <cstdlib>
#include <memory>

namespace {

constexpr uint32_t kSide = 4;

const char kGradedLook[] = R"(<?xml version="1.0" ?>
<look>
  <shaders>
    <shader>
      <name>"Test.Lut"</name>
      <parameters>
        <Lut>"rotate.cube"</Lut>
      </parameters>
    </shader>
    <base>
      <rangeversion>"2"</rangeversion>
      <sublayer0>
        <parameters>
          <Gain.X>"0.15"</Gain.X>
          <Contrast>"0.2"</Contrast>
          <BaseLUT>"identity.cube"</BaseLUT>
        </parameters>
      </sublayer0>
      <sublayer4>
        <parameters>
          <MiddleHLS1.X>"N25"</MiddleHLS1.X>
          <Gain1.X>"0.1"</Gain1.X>
          <Blur123.X>"0.6"</Blur123.X>
        </parameters>
      </sublayer4>
    </base>
  </shaders>
</look>
)";

const char kMissingLutLook[] = R"(<look><shaders><shader><name>"Test.Lut"</name>
<parameters><Lut>"absent.cube"</Lut></parameters></shader>
<shader><name>"Test.NoOp"</name></shader></shaders></look>)";

struct Scene {
    std::unique_ptr<CVxShaderRegistry> registry;
    std::unique_ptr<CVxSoftwareCompositingEngine> engine;
    float pixels[kSide * kSide * 3];
    float small[2 * 2 * 4];
    std::unique_ptr<RenderImage> source;
    std::unique_ptr<RenderImage> smallSource;
    std::unique_ptr<RenderImage> mask;
    std::unique_ptr<RenderImage> output;
    CVxGradingParamStorage graded;
    CVxGradingParamStorage missingLut;
    CVxGradingParamStorage empty;
    RenderTransform half;
    RenderTransform shifted;
    CVxRenderContext context;

    Scene() {
        registry =
            std::make_unique<CVxShaderRegistry>(fuzz::Luts().files, fuzz::InstallLutsAndShaders());
        engine = std::make_unique<CVxSoftwareCompositingEngine>(
            RenderEnvironment{*registry, fuzz::Luts().source});
        engine->SetThreadCount(1);
        for (uint32_t i = 0; i < kSide * kSide * 3; ++i)
            pixels[i] = float(i) / float(kSide * kSide * 3 - 1);
        for (uint32_t i = 0; i < 2 * 2 * 4; ++i)
            small[i] = 1.0f - float(i) / 8.0f;
        source = RenderImage::Wrap(pixels, kSide, kSide, 3);
        smallSource = RenderImage::Wrap(small, 2, 2, 4);
        mask = RenderImage::Allocate(kSide, kSide, 4);
        const float grey[4] = {0.5f, 0.5f, 0.5f, 0.5f};
        mask->Fill(grey);
        output = RenderImage::Allocate(kSide, kSide, 3);
        ReadGrading(kGradedLook, graded);
        ReadGrading(kMissingLutLook, missingLut);
        half.m[0] = 0.5;
        half.m[4] = 0.5;
        shifted.m[2] = 1.5;
        shifted.m[5] = -2.0;
        context.AddSource("buffer", source.get());
        context.AddSource("small", smallSource.get());
        context.AddObject("*grading1", &graded);
        context.AddObject("*grading2", &missingLut);
        context.AddObject("*empty", &empty);
        context.AddMask("*mask", mask.get());
        context.AddTransform("*xform", &half);
        context.AddTransform("*panscan", &shifted);
    }

    static void ReadGrading(const char* text, CVxGradingParamStorage& grading) {
        std::unique_ptr<CVxShapeMask> ignoredMask;
        uint32_t ignoredSize = 0;
        if (!ReadLookText(grading, text, ignoredMask, ignoredSize))
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scene scene;
    const CVxString pipeline = fuzz::TextOf(data, size);
    scene.engine->Render(pipeline, scene.context, kSide, kSide, scene.output.get(), nullptr, 0);
    scene.engine->Render(pipeline, scene.context, kSide, kSide, scene.output.get(), nullptr,
                         IVxCompositingEngine::kReadoutFlag);
    return 0;
}
