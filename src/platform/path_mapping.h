#pragma once

#include <string>
#include <string_view>

namespace platform {

// Framework paths use drive letters and backslashes (slashes are accepted too). Drive Z:
// and a rooted path without a drive are the POSIX root; a relative path stays relative to
// the working folder. Other drives and \\server paths name nothing here.

// Translates a framework path to the POSIX path as written; false when it names nothing.
bool ToPosixPath(std::string_view path, std::string& posixPath);

// Translates and resolves letter case: an element that does not exist as written is
// matched without regard to case in its folder (first match in listing order). With
// allowMissingLeaf, a last element that matches nothing is kept as written so that it can
// be created; every folder above it must exist. The lookup passes the calling thread's
// access gate first: as a write with allowMissingLeaf, else as a read.
bool ResolvePath(std::string_view path, std::string& posixPath, bool allowMissingLeaf = false);

// The POSIX path of a program file in drive form: /opt/x becomes Z:\opt\x.
std::string ToDrivePath(std::string_view posixPath);

} // namespace platform
