#pragma once

#include "foundation/vx_string.h"

#include <cstdint>
#include <memory>

// The settings of one run, fixed once the options are read.
struct RunSettings {
    bool cubrelMode = false;
    bool resamplingAllowed = true;
    // 0 until a size is given or the mode's default is applied.
    uint32_t size = 0;
    // Cubrel mode only: header prepared once, lattice words rewritten per file.
    std::unique_ptr<uint8_t[]> cubrelBuffer;
};

enum class EOptionResult : uint8_t { eAccepted, eBadSize, eUnknownArgument };

// Reads the options from argument 2 on. On eUnknownArgument, `offending` holds it.
EOptionResult ParseOptions(RunSettings& settings, CVxString& offending);

// Applies the mode's default to a missing size, then checks the mode's range.
bool ApplySizeRules(RunSettings& settings);
