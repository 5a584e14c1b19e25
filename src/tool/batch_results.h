#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"
#include "tool/run_environment.h"
#include "tool/run_progress.h"
#include "tool/run_settings.h"

#include <string>
#include <vector>

// What became of one input file of a run.
struct FileResult {
    CVxString input;
    EFileOutcome outcome = EFileOutcome::eFailed;
    // The lines of the file's block after its name, without the block's indent.
    std::vector<std::string> messages;
    // As the report says them: the file written (empty when none was) and why
    // the file failed or was refused (empty when it did not).
    std::string written;
    std::string cause;
    // Why a look was converted from its stored LUT: the LUT files not found
    // or not loaded, the shaders not installed.
    std::vector<std::string> warnings;
};

// The files that the input arguments name, each file once, in the order
// found: a folder stands for its looks and LUTs (DirectoryPattern). The
// arguments that name no file are added to `empty`.
std::vector<CVxString> InputFilesOf(FileAccess& files, const std::vector<CVxString>& arguments,
                                    std::vector<CVxString>& empty, bool everyLutFile = false);

// Converts the files as RunBatch does and keeps each file's result instead of
// printing it; results are in list order.
std::vector<FileResult> ConvertToResults(const std::vector<CVxString>& inputs,
                                         const RunSettings& settings,
                                         const RunEnvironment& environment, FileAccess& files);
