#pragma once

#include "foundation/file_access.h"
#include "tool/run_environment.h"
#include "tool/run_setup.h"

// -compare: prints how the two files of the run differ, as text or a JSON
// line; exit code 0 within the tolerance, 2 beyond it, 1 when a file cannot
// be evaluated (its cause on standard error).
int RunComparison(const RunSetUp& run, const RunEnvironment& environment, FileAccess& files);

// -info: prints what each file of the run is, as text or a JSON line each;
// exit code 0, or with -strict 2 when a file could not be read.
int RunDescriptions(const RunSetUp& run, const RunEnvironment& environment, FileAccess& files);
