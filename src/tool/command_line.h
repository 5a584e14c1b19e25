#pragma once

#include "foundation/vx_list.h"
#include "foundation/vx_string.h"

// The process-wide argument list: entry 0 the program, 1 the input, 2 and up the options.
CVxList<CVxString>& CommandLineArgs();

// Rebuilds the argument list from the platform's vector. Arguments holding spaces
// are quoted on the way into one line and unquoted on the way out, so they stay
// whole; empty arguments disappear.
void SetCommandLine(int argc, const char* const* argv);

// The entry at index, or the empty string past the end.
CVxString CommandLineArg(uint32_t index);
