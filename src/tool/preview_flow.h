#pragma once

#include "tool/flow_context.h"

// -preview: a picture of each input's transform, NAME.preview.png: the
// run's picture (the test chart or -image FILE) as it is and through the
// transform, side by side.
class PreviewFlow final : public FlowContext {
public:
    using FlowContext::FlowContext;

private:
    void Convert(const FilePaths& paths, bool isLutFile) override;
    // An existing picture is replaced only when this program made it.
    bool MayReplaceExisting(const FilePaths& paths) override;
};
