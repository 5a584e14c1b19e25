#include "foundation/byte_sink.h"
#include "look/grading_params.h"
#include "look/look_writer.h"
#include "look/parsed_look.h"
#include "render/compositing_engine.h"
#include "render/look_to_lut.h"
#include "render/rebuilt_look.h"
#include "render/render_context.h"
#include "render/render_image.h"
#include "render/shader_registry.h"

#include "../support/scratch_folder.h"
#include "../support/system_luts.h"
#include "pixel_test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using ERenderError = IVxCompositingEngine::ERenderError;

// A 2-point lattice that swaps channels: red out = blue in, green out = red in,
// blue out = green in.
const char kRotateCube[] =
    "LUT_3D_SIZE 2\n0 0 0\n0 1 0\n0 0 1\n0 1 1\n1 0 0\n1 1 0\n1 0 1\n1 1 1\n";
// The 2-point identity lattice with red fastest, then green, then blue.
const std::vector<float> kOrder0 = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0,
                                    0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_folder.Posix() + "/shaders/Test");
        m_folder.Write("shaders/Test/lut.vxtp",
                       "<shader name=\"Test.Lut\">\n"
                       "<texturelist name=\"Lut\" unit=\"1\" extern=\"1\" default=\"\"/>\n"
                       "</shader>\nVEXLAN.LUT.3D");
        m_folder.Write("shaders/Test/nokernel.vxtp", "<shader name=\"Test.NoKernel\"></shader>");
        m_folder.Write("rotate.cube", kRotateCube);
        m_folder.Write("empty.cube", "LUT_3D_SIZE 0\n");
        m_folder.Write("junk.bin", std::string("\x01\x02\x03\x04 not a table <\n", 20));
        m_registry = std::make_unique<CVxShaderRegistry>(m_luts.files, Path("shaders"));
        m_engine = std::make_unique<CVxSoftwareCompositingEngine>(
            RenderEnvironment{*m_registry, m_luts.source});

        for (uint32_t i = 0; i < 12; ++i)
            m_pixels[i] = float(i) / 16.0f;
        m_source = RenderImage::Wrap(m_pixels, 2, 2, 3);
        m_output = RenderImage::Wrap(m_outPixels, 2, 2, 3);
        m_context.AddSource("buffer", m_source.get());
        m_context.AddObject("*empty", &m_empty);
        AddLayer(m_unknown, "Studio.Missing");
        m_context.AddObject("*unknown", &m_unknown);
        AddLayer(m_noKernel, "Test.NoKernel");
        m_context.AddObject("*nokernel", &m_noKernel);
    }

    CVxString Path(const std::string& name) const { return m_folder.Drive(name).c_str(); }

    static CVxShaderParamStorage* AddLayer(CVxGradingParamStorage& grading, const char* shader,
                                           const std::string& numbers = "") {
        auto* layer = new CVxShaderParamStorage();
        layer->SetName(shader);
        for (const ShaderParameterValue& number : Params(numbers))
            layer->SetNumber(number.name, number.value);
        grading.AddLayer(layer);
        return layer;
    }

    bool Render(const std::string& pipeline) {
        return m_engine->Render(pipeline.c_str(), m_context, 2, 2, m_output.get(), nullptr, 0);
    }

    // The lattice of `n` points a look renders to; empty when it failed.
    std::vector<float> RenderLut(const CVxGradingParamStorage& grading, uint32_t n,
                                 const CVxString& extraLut = CVxString()) {
        const RenderedLattice lattice =
            RenderLattice(*m_engine, grading, {.size = n, .extraLut = extraLut});
        const float* nodes = lattice.nodes.get();
        return std::vector<float>(nodes, nodes ? nodes + n * n * n * 3 : nullptr);
    }

    ScratchFolder m_folder;
    SystemLuts m_luts;
    std::unique_ptr<CVxShaderRegistry> m_registry;
    std::unique_ptr<CVxSoftwareCompositingEngine> m_engine;
    float m_pixels[12];
    float m_outPixels[12];
    std::unique_ptr<RenderImage> m_source;
    std::unique_ptr<RenderImage> m_output;
    CVxRenderContext m_context;
    CVxGradingParamStorage m_empty;
    CVxGradingParamStorage m_unknown;
    CVxGradingParamStorage m_noKernel;
};

TEST_F(EngineTest, FailingPipelinesReportTheirError) {
    auto overLut = [&](const char* file) { return "buffer|" + m_folder.Drive(file) + "|*lut"; };
    using enum IVxCompositingEngine::ERenderError;
    const std::pair<ERenderError, std::vector<std::string>> cases[] = {
        {eRequestEmpty, {"", " | | "}},
        {eBadArgument,
         {"buffer|*fade x", "buffer|*stretch 2 left", "buffer|*stretch 0.5 middle",
          "buffer|*stretch 0.5", "*rgb 1,2,3", "*rgb 1,2,3,nan"}},
        {eNothingToPop, {"buffer|*pop"}},
        {eLutNeedsTwoInputs, {"buffer|*lut"}},
        {eUnknownOperator, {"*bogus"}},
        {eNoInput, {"*noop", "*empty"}},
        {eStackUnderflow, {"buffer|*over", "*xform"}},
        {eShaderNotFound, {"buffer|*unknown", "buffer|*nokernel"}},
        {eNotALut, {"buffer|?|*lut"}},
        {eLutNotLoaded, {overLut("junk.bin"), overLut("empty.cube")}},
        {eUnknownSource, {overLut("missing.cube"), "nosuchsource", "?"}},
    };
    for (const auto& [error, pipelines] : cases)
        for (const std::string& pipeline : pipelines) {
            EXPECT_FALSE(Render(pipeline)) << pipeline;
            EXPECT_EQ(m_engine->m_lastError, uint32_t(error)) << pipeline;
        }
    EXPECT_FALSE(m_engine->Render("buffer", m_context, 2, 2, nullptr, nullptr, 0));
    EXPECT_EQ(m_engine->m_lastError, uint32_t(ERenderError::eRequestEmpty));
    // Operators made from gradings last one render only.
    std::string names;
    for (const CVxString& name : m_engine->OperatorNames())
        names += std::string(name.c_str()) + " ";
    EXPECT_EQ(names, "*noop *over *overp *fade *lut *readout ");
}

TEST_F(EngineTest, SucceedingPipelinesWriteTheTopImage) {
    const std::string rotate = Path("rotate.cube").c_str();
    const std::vector<int> source = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const struct {
        std::string pipeline;
        std::vector<int> sixteenths; // the output pixels, read from the source's sixteenths
    } cases[] = {
        {"buffer", source},
        {" buffer | *EMPTY | *noop 0.5 | *pop ", source},
        {"buffer|*flip", {3, 4, 5, 0, 1, 2, 9, 10, 11, 6, 7, 8}},
        {"buffer|*FlipV", {6, 7, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5}},
        {"buffer|*xform", source},
        {"buffer|*stretch 1 left", source},
        {"buffer|?|*over", source},
        {"buffer|" + rotate + "|*lut", {2, 0, 1, 5, 3, 4, 8, 6, 7, 11, 9, 10}},
        {"*rgb 0.25,0.5,0.75,1", {4, 8, 12, 4, 8, 12, 4, 8, 12, 4, 8, 12}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Render(c.pipeline)) << c.pipeline << " error " << m_engine->m_lastError;
        std::vector<float> expected;
        for (int sixteenths : c.sixteenths)
            expected.push_back(float(sixteenths) / 16.0f);
        EXPECT_EQ(std::vector<float>(m_outPixels, m_outPixels + 12), expected) << c.pipeline;
        EXPECT_EQ(m_engine->m_lastError, 0u);
    }
    // The source is read, never changed, when it is not the output.
    for (uint32_t i = 0; i < 12; ++i)
        EXPECT_EQ(m_pixels[i], float(i) / 16.0f);
}

// Sets the abort flag while the render asks for its first source.
class AbortingContext : public CVxRenderContext {
public:
    explicit AbortingContext(CVxSoftwareCompositingEngine& engine) : m_engine(engine) {}
    RenderImage* FindSource(const CVxString& name) const override {
        m_engine.m_abort = 1;
        return CVxRenderContext::FindSource(name);
    }

private:
    CVxSoftwareCompositingEngine& m_engine;
};

TEST_F(EngineTest, AbortStopsTheRenderAndMissingLutsAreCountedPerRender) {
    AbortingContext aborting(*m_engine);
    aborting.AddSource("buffer", m_source.get());
    EXPECT_FALSE(m_engine->Render("buffer", aborting, 2, 2, m_output.get(), nullptr, 0));
    EXPECT_EQ(m_engine->m_lastError, uint32_t(ERenderError::eAborted));
    EXPECT_FALSE(m_engine->Render("buffer|*noop", aborting, 2, 2, m_output.get(), nullptr, 0));
    EXPECT_EQ(m_engine->m_lastError, uint32_t(ERenderError::eAborted));

    CVxGradingParamStorage grading;
    AddLayer(grading, "Test.Lut")->SetText("Lut", Path("missing.cube"));
    m_context.AddObject("*lutlayer", &grading);
    EXPECT_TRUE(Render("buffer|*lutlayer"));
    EXPECT_EQ(m_engine->m_lutMissing, 1u);
    EXPECT_TRUE(Render("buffer"));
    EXPECT_EQ(m_engine->m_lutMissing, 0u);
}

TEST_F(EngineTest, LookRendersFillTheLatticeInEachOrder) {
    CVxGradingParamStorage grading;
    EXPECT_EQ(RenderLut(grading, 2), kOrder0);
    const std::pair<uint32_t, std::vector<float>> orders[] = {
        {kBlueFastest, {0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0, 1, 1, 1}},
        {kRedBlueGreen, {0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1}}};
    for (const auto& [order, expected] : orders) {
        std::vector<float> own(24);
        EXPECT_EQ(
            m_engine->RenderLookToLut(grading, kLatticeCube, 2, own.data(), order, CVxString()),
            own.data());
        EXPECT_EQ(own, expected) << order;
    }

    // An extra LUT is applied after the grading.
    std::vector<float> rotated = kOrder0;
    for (uint32_t i = 0; i < 24; ++i)
        rotated[i] = kOrder0[i / 3 * 3 + (i + 2) % 3];
    EXPECT_EQ(RenderLut(grading, 2, Path("rotate.cube")), rotated);

    // A gain of 2^1000 stops at infinity in single precision, 0 times it is NaN:
    // both end finite. A text where a number belongs reaches no script value.
    CVxGradingParamStorage overflowing;
    AddLayer(overflowing, "VEXLAN.Base.1", "Gain.X=1000")->SetText("Gain.Y", "nan");
    std::vector<float> clamped = kOrder0;
    for (uint32_t i = 0; i < 24; i += 3)
        clamped[i] = clamped[i] ? FLT_MAX : 0.0f;
    EXPECT_EQ(RenderLut(overflowing, 2), clamped);

    // A buffer past 32 bits of bytes cannot be had; the last error stays as it was.
    m_engine->m_lastError = 99;
    EXPECT_EQ(
        m_engine->RenderLookToLut(grading, kLatticeCube, 1024, nullptr, kRedFastest, CVxString()),
        nullptr);
    EXPECT_EQ(m_engine->m_lastError, 99u);
}

TEST_F(EngineTest, LatticeRendersSayWhyTheyFailed) {
    CVxGradingParamStorage plain, missingLut;
    AddLayer(missingLut, "Test.Lut")->SetText("Lut", Path("missing.cube"));
    const struct {
        const CVxGradingParamStorage& grading;
        uint32_t size;
        CVxString extraLut;
        ERenderFailure failure;
    } cases[] = {
        {plain, 2, "", ERenderFailure::eNone},
        {m_unknown, 2, "", ERenderFailure::eShaderMissing},
        {m_noKernel, 2, "", ERenderFailure::eShaderMissing},
        {missingLut, 2, "", ERenderFailure::eLutMissing},
        {plain, 2, Path("junk.bin"), ERenderFailure::eLutMissing},
        {plain, 2, Path("missing.cube"), ERenderFailure::eRenderFailed},
        {plain, 1024, "", ERenderFailure::eOutOfMemory},
    };
    for (const auto& c : cases) {
        // What the engine says of an earlier render decides nothing.
        m_engine->m_lastError = uint32_t(ERenderError::eShaderNotFound);
        m_engine->m_lutMissing = 1;
        const RenderedLattice lattice =
            RenderLattice(*m_engine, c.grading, {.size = c.size, .extraLut = c.extraLut});
        EXPECT_EQ(int(lattice.failure), int(c.failure)) << c.extraLut.c_str() << " " << c.size;
        EXPECT_EQ(lattice.nodes != nullptr, c.failure == ERenderFailure::eNone);
    }
}

TEST_F(EngineTest, TwoThreadsGiveTheBytesOfOne) {
    // A LUT layer, then a base layer with a tonal split and a blurred secondary
    // key, whose second pass reads the neighbours of every pixel.
    CVxGradingParamStorage grading, lutOnly;
    AddLayer(lutOnly, "Test.Lut")->SetText("Lut", Path("rotate.cube"));
    AddLayer(grading, "Test.Lut")->SetText("Lut", Path("rotate.cube"));
    AddLayer(grading, "VEXLAN.Base.1",
             "GammaLow.X=0.2 GainHigh.Z=0.3 MiddleHLS1.X=200 RangeHLS1.X=40 ToleranceHLS1.X=20 "
             "RangeHLS1.Y=0.5 RangeHLS1.Z=0.5 Gain1.Y=0.5 Blur123.X=1.5");
    m_engine->SetThreadCount(1);
    const std::vector<float> one = RenderLut(grading, 33);
    m_engine->SetThreadCount(2);
    const std::vector<float> two = RenderLut(grading, 33);
    ASSERT_TRUE(one.size() == 33u * 33 * 33 * 3 && two.size() == one.size());
    EXPECT_EQ(std::memcmp(one.data(), two.data(), one.size() * 4), 0);
    // The base layer did change the lattice.
    EXPECT_NE(RenderLut(lutOnly, 33), one);
}

// The document is written while the lattice renders, a block of rows at a
// time on two threads: it must be the very document written from the whole
// rendered lattice, whatever order the blocks come in.
TEST_F(EngineTest, RebuiltLooksStreamTheDocumentOfTheWholeLattice) {
    const std::unique_ptr<ParsedLook> look =
        ReadLook("<look><shaders><base><sublayer0><parameters><Gain.X>\"0.5\"</Gain.X>"
                 "<Gamma.Z>\"0.2\"</Gamma.Z><Saturation>\"0.8\"</Saturation></parameters>"
                 "</sublayer0></base></shaders></look>");
    ASSERT_TRUE(look);
    m_engine->SetThreadCount(2);
    for (const uint32_t size : {32u, 64u}) {
        CVxString streamed;
        StringSink sink(streamed);
        ASSERT_EQ(int(WriteRebuiltLook(*m_engine, look->grading, sink, nullptr, size, 4)),
                  int(ERebuildResult::eWritten));
        const RenderedLattice lattice = RenderLattice(*m_engine, look->grading, {.size = size});
        ASSERT_TRUE(lattice.nodes);
        CVxString whole;
        ASSERT_TRUE(WriteLookDocument(whole, look->grading, nullptr, lattice.nodes.get(), size,
                                      nullptr, 0));
        EXPECT_TRUE(streamed.View() == whole.View()) << size;
    }
}

} // namespace
