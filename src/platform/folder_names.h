#pragma once

#include <string>
#include <string_view>

namespace platform {

// The name in `folder` (a POSIX path; empty for the working folder) that
// equals `element` without regard to letter case; of several, the least in
// byte order. False when there is none or the folder cannot be read.
//
// A run looks up names that do not exist yet, its outputs', several times a
// file in one folder, so the names of a large folder on a local file system
// are read once and then kept up to date by the kernel's notices of every
// name made, removed or moved in it: a name known to be missing is answered
// without reading the folder, any other by reading it, and a batch into a
// folder of thousands of files does not read it whole for each.
bool FindNameNoCase(const std::string& folder, std::string_view element, std::string& name);

} // namespace platform
