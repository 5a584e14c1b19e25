#pragma once

#include <string>
#include <string_view>

namespace platform {

// The value of an environment variable; false (and an empty value) when it is not set.
bool GetEnvironmentVariable(const std::string& name, std::string& value);

// Removes from the process environment every variable whose name begins with
// `prefix` (letter case as written). Not safe while another thread may read
// the environment: call it before any thread starts.
void RemoveEnvironmentVariables(std::string_view prefix);

// The program's own file in drive form (Z:\opt\gradeshift\bin\gradeshift); empty when the
// system does not tell.
std::string ProgramFilePath();

// The absolute path, in drive form, of the loaded file (program or shared
// object) that holds the code or data at `address`; empty when the system does
// not tell. A shared object finds its installation this way.
std::string ObjectFilePath(const void* address);

// The working folder in drive form, ending in a backslash; empty when the
// system does not tell.
std::string WorkingFolder();

// True when standard error goes to a terminal.
bool StandardErrorIsTerminal();

// Has `reset` called in the child of every later fork, before fork returns
// there: the child holds only the thread that forked, and state that counts
// the others (threads kept waiting for work, say) must forget them.
void ResetInForkedChild(void (*reset)());

} // namespace platform
