#pragma once

#include "foundation/stop_request.h"
#include "foundation/vx_string.h"
#include "inspect/float_image.h"
#include "lut/lut_format_registry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// What a run shows of its inputs instead of converting them.
enum class EInspection : uint8_t { eNone, eCompare, eInfo };

// The settings of one run, fixed once the options are read.
struct RunSettings {
    bool cubrelMode = false;
    // -to with any format but cubrel; null in rebuild and Cubrel mode.
    const ExportFormat* exportFormat = nullptr;
    bool resamplingAllowed = true;
    // 0 until a size is given or the mode's default is applied.
    uint32_t size = 0;
    // Files converted at once; 0 until given, then every core.
    uint32_t jobs = 0;
    // Exit with 2 when any file failed, and always say how the files went.
    bool strict = false;
    // Say on standard error what each file wrote, and why a file failed.
    bool verbose = false;
    // An existing file at an output name that the run chose (-to NAME.EXT, or
    // NAME.lut or NAME.look of a LUT file under another extension) is replaced
    // even when it shows no sign of being an earlier output.
    bool overwrite = false;
    // -compare (two inputs) or -info (each input) instead of converting.
    EInspection inspection = EInspection::eNone;
    // -compare and -info print JSON Lines.
    bool json = false;
    // -preview: a picture of each input's transform instead of a conversion,
    // of this picture (the test chart, or -image FILE).
    bool preview = false;
    std::shared_ptr<const FloatImage> previewPicture;
    // -report FILE: a page of the run, written at its end; empty for none.
    CVxString reportFile;
    // -compare's verdict: the largest difference in 10-bit codes, and in ΔE00 when given.
    double tolerance = 1.0;
    std::optional<double> toleranceDe;
    // Where the outputs go; empty for beside their inputs.
    CVxString outFolder;
    // The working folder in drive form, for naming an input by its absolute path.
    CVxString workingFolder;
    // Asks the run to end early: no file is begun once it is requested, and
    // the render under way stops; null for a run that goes to its end.
    const StopRequest* stop = nullptr;
    // Cubrel mode only: header prepared once, lattice words rewritten per file.
    // Each thread that converts files has a buffer of its own.
    std::unique_ptr<uint8_t[]> cubrelBuffer;
};

struct RunRequest;

// A bad value is a missing or unfit value of an option that takes one.
enum class EOptionResult : uint8_t { eAccepted, eBadValue, eUnknownArgument };

// What is wrong with the command line: the option as it was typed and, for a
// bad value, why.
struct OptionProblem {
    CVxString option;
    CVxString cause;
};

// Reads the arguments from 1 on: options (any letter case, also as --name,
// --name=value or --name value) anywhere, every other argument an input, and
// everything after "--" an input. The first argument is an input unless it is
// a known option, so a file named like an option still converts.
// The values are taken as they are; SetUpRun checks them.
EOptionResult ParseCommandLine(RunRequest& request, OptionProblem& problem);

// Applies the mode's default to a missing size, then checks the mode's range.
bool ApplySizeRules(RunSettings& settings);

// Cubrel mode: allocates the output buffer and writes its header; false when out
// of memory. Does nothing in rebuild mode.
bool PrepareCubrelBuffer(RunSettings& settings);

// The format of the files the run writes besides looks and Cubrel LUTs: the
// -to format, or the -preview picture; null for neither.
const ExportFormat* OutputFormat(const RunSettings& settings);

// The same settings with an output buffer of their own; null when out of memory.
std::unique_ptr<RunSettings> CopyForAnotherThread(const RunSettings& settings);
