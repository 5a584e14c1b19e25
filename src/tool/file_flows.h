#pragma once

#include "tool/flow_context.h"

#include <memory>

// The flow of the run's mode: rebuild and Cubrel mode, -to, or -preview.
std::unique_ptr<FlowContext> MakeFileFlow(const RunSettings& settings,
                                          const RunEnvironment& environment, FileAccess& files);
