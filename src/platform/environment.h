#pragma once

#include <string>

namespace platform {

// The value of an environment variable; false (and an empty value) when it is not set.
bool GetEnvironmentVariable(const std::string& name, std::string& value);

// The program's own file in drive form (Z:\opt\gradeshift\bin\gradeshift); empty when the
// system does not tell.
std::string ProgramFilePath();

// True when standard error goes to a terminal.
bool StandardErrorIsTerminal();

} // namespace platform
