#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"
#include "tool/run_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a run is asked to do, as the command line or Python gives it, before
// anything is checked.
struct RunRequest {
    std::vector<CVxString> inputs;
    bool cubrel = false;
    // -to FORMAT, in any letter case ("cubrel" is Cubrel mode).
    std::optional<CVxString> to;
    // 0: the mode's default.
    uint32_t size = 0;
    // None: one file per processor core.
    std::optional<uint32_t> jobs;
    CVxString outFolder;
    bool resampling = true;
    bool strict = false;
    bool verbose = false;
    bool overwrite = false;
    // -compare A B, -info, and their -json forms.
    bool compare = false;
    bool info = false;
    bool json = false;
    std::optional<double> tolerance;   // -tolerance T, in 10-bit codes
    std::optional<double> toleranceDe; // -tolerance-de E
    // -preview, -report FILE.html, -image FILE.png.
    bool preview = false;
    CVxString reportFile;
    CVxString imageFile;
    // How the caller names -to and -jobs in the problems about their values:
    // the command line as they were typed ("--TO"), Python by its keywords.
    CVxString toOption = "to";
    CVxString jobsOption = "jobs";
};

// Why a run does not start. The command line prints each kind as it always
// did (standard output and error, usage, exit code 1); Python raises `text`.
enum class ERunProblem : uint8_t {
    eBadValue,      // `option` has a value that does not fit: "\"png\" is not a format (...)"
    eTwoFormats,    // cubrel and another format asked for at once
    eBadSize,       // the mode's size rule, several lines
    eOutOfMemory,   // "Error: out of memory."
    eNoInput,       // "no input given"
    eOutFolder,     // `option` is the folder; the system's cause
    eNothingFound,  // several inputs, or a wildcard, found nothing
    eInputNotFound, // the one input names no file: `option` is its name
    eInputsMissing, // -compare: an input names no file (the empty inputs say why)
    eFileOption,    // -image FILE or -report FILE: `option` is the option and its file
};

struct RunProblem {
    ERunProblem kind;
    // The option or input the problem is about, as the request names it.
    std::string option;
    std::string text;
    // ENOENT when the input or output folder the problem is about is not
    // there (eInputNotFound, eOutFolder); the system's error for an output
    // folder that cannot be used otherwise; 0 for anything else.
    int error = 0;
};

// An input that found no file, and why.
struct EmptyInput {
    CVxString argument;
    std::string why;
};

// A run as it starts: its settings, the files it converts in order, and the
// inputs that found none; or, with `problem`, why it does not start.
struct RunSetUp {
    RunSettings settings;
    std::vector<CVxString> files;
    std::vector<EmptyInput> emptyInputs;
    std::optional<RunProblem> problem;
};

// Checks the request and collects its files: the format named, the job count,
// the mode's size rule, the output buffer, that inputs are given, the output
// folder, and that some input finds a file. The first problem found stops it.
RunSetUp SetUpRun(const RunRequest& request, FileAccess& files);

// A problem on one line: the lines of a size rule joined, no trailing break.
std::string OneLine(const std::string& text);
