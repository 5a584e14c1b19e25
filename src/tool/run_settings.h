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
    // Files converted at once; 0 until given, then every core.
    uint32_t jobs = 0;
    // Exit with 2 when any file failed, and always say how the files went.
    bool strict = false;
    // Cubrel mode only: header prepared once, lattice words rewritten per file.
    // Each thread that converts files has a buffer of its own.
    std::unique_ptr<uint8_t[]> cubrelBuffer;
};

// A bad value is one of an option that takes a number (-size, -jobs).
enum class EOptionResult : uint8_t { eAccepted, eBadValue, eUnknownArgument };

// Reads the options from argument 2 on. On eUnknownArgument, `offending` holds it.
EOptionResult ParseOptions(RunSettings& settings, CVxString& offending);

// Applies the mode's default to a missing size, then checks the mode's range.
bool ApplySizeRules(RunSettings& settings);

// Cubrel mode: allocates the output buffer and writes its header; false when out
// of memory. Does nothing in rebuild mode.
bool PrepareCubrelBuffer(RunSettings& settings);

// The same settings with an output buffer of their own; null when out of memory.
std::unique_ptr<RunSettings> CopyForAnotherThread(const RunSettings& settings);
