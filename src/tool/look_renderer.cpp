#include "tool/look_renderer.h"

namespace {

// No engine is linked in yet: every render fails, so rebuilt looks are left
// untouched and Cubrel conversions go on to the look's stored LUT.
class EngineNotAvailableRenderer : public LookRenderer {
public:
    bool WriteRebuiltLook(ParsedLook&, CVxString&, uint32_t, uint32_t) override { return false; }
    bool RenderLookToLut(ParsedLook&, uint32_t, std::vector<float>&,
                         ERenderFailure& failure) override {
        failure = ERenderFailure::eInternal;
        return false;
    }
};

} // namespace

std::unique_ptr<LookRenderer> CreateLookRenderer() {
    return std::make_unique<EngineNotAvailableRenderer>();
}
