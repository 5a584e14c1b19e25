#pragma once

#include <string>

namespace platform {

// The value of an environment variable; false (and an empty value) when it is not set.
bool GetEnvironmentVariable(const std::string& name, std::string& value);

// The program's own file in drive form (Z:\opt\gradeshift\bin\gradeshift); empty when the
// system does not tell.
std::string ProgramFilePath();

// The working folder in drive form, ending in a backslash; empty when the
// system does not tell.
std::string WorkingFolder();

// True when standard error goes to a terminal.
bool StandardErrorIsTerminal();

} // namespace platform
