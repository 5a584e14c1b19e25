#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"
#include "tool/file_report.h"
#include "tool/run_environment.h"
#include "tool/run_settings.h"

#include <cstddef>
#include <functional>
#include <vector>

// Converts the files on settings.jobs threads and hands each file's block to
// `deliver` on the calling thread, in list order, as soon as that block and all
// before it are complete. Standard output and the files written are those of
// converting the files one after the other (see AccessOrder). Once
// settings.stop is requested no file is begun: the blocks of the files begun
// are handed on, and no others.
void RunBatch(const std::vector<CVxString>& inputs, const RunSettings& settings,
              const RunEnvironment& environment, FileAccess& files,
              const std::function<void(size_t index, const FileReport& report)>& deliver);
