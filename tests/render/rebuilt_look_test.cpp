#include "render/rebuilt_look.h"

#include "look/parsed_look.h"
#include "render/compositing_engine.h"
#include "render/shader_registry.h"

#include "../support/system_luts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Takes bytes up to a limit, then fails.
class LimitedSink : public ByteSink {
public:
    explicit LimitedSink(size_t limit) : m_limit(limit) {}
    bool Append(const void* data, size_t size) override {
        if (text.size() + size > m_limit)
            return false;
        text.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string text;

private:
    size_t m_limit;
};

// The LUT elements of a document with their sizes: "LUT 2, LUT1D 4".
std::string LutElements(const std::string& document) {
    std::string found;
    for (const std::string element : {"LUT", "LUT1D"}) {
        const std::string start = "  <" + element + ">\n    <size>\"";
        const size_t at = document.find(start);
        if (at == std::string::npos)
            continue;
        const size_t size = at + start.size();
        found += (found.empty() ? "" : ", ") + element + " " +
                 document.substr(size, document.find('"', size) - size);
    }
    return found;
}

TEST(RebuiltLook, RendersEverythingBeforeTheFirstByte) {
    auto base = [](const std::string& parameter) {
        return "<look><shaders><base><sublayer0><parameters>" + parameter +
               "</parameters></sublayer0></base></shaders></look>";
    };
    const std::string perChannel = base("<Gain.X>\"0.5\"</Gain.X>");
    const std::string saturated = base("<Saturation>\"0.5\"</Saturation>");
    const std::string unknown = "<look><shaders><shader><name>\"Studio.Missing\"</name></shader>"
                                "</shaders></look>";
    const struct {
        std::string look;
        uint32_t size3D;
        size_t limit;
        bool quoteInAValue;
        ERebuildResult result;
        std::string luts;
    } cases[] = {
        {perChannel, 2, SIZE_MAX, false, ERebuildResult::eWritten, "LUT 2, LUT1D 4"},
        {perChannel, 0, SIZE_MAX, false, ERebuildResult::eWritten, "LUT1D 4"},
        {saturated, 2, SIZE_MAX, false, ERebuildResult::eWritten, "LUT 2"},
        {perChannel, 2, 100, false, ERebuildResult::eWriteFailed, ""},
        {unknown, 2, SIZE_MAX, false, ERebuildResult::eRenderFailed, ""},
        // It would render, but would not read back as written.
        {perChannel, 2, SIZE_MAX, true, ERebuildResult::eWriteFailed, ""},
    };
    SystemLuts luts;
    const CVxShaderRegistry shaders(luts.files, "Z:\\no\\shaders\\");
    CVxSoftwareCompositingEngine engine(RenderEnvironment{shaders, luts.source});
    for (const auto& c : cases) {
        const std::unique_ptr<ParsedLook> look = ReadLook(c.look.c_str());
        ASSERT_TRUE(look) << c.look;
        if (c.quoteInAValue)
            look->grading.Layer(0)->SetText("Note", "a\"b");
        LimitedSink sink(c.limit);
        const ERebuildResult result =
            WriteRebuiltLook(engine, look->grading, sink, look->mask.get(), c.size3D, 4);
        EXPECT_EQ(int(result), int(c.result)) << c.look;
        EXPECT_EQ(LutElements(sink.text), c.luts) << c.look;
        if (c.result == ERebuildResult::eRenderFailed || c.quoteInAValue) {
            EXPECT_EQ(sink.text, "") << c.look;
        }
        if (c.result == ERebuildResult::eWritten) {
            EXPECT_EQ(sink.text.substr(sink.text.size() - 8), "</look>\n") << c.look;
        }
    }
}

} // namespace
