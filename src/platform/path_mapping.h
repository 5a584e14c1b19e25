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
// be created; every folder above it must exist.
bool ResolvePath(std::string_view path, std::string& posixPath, bool allowMissingLeaf = false);

// The POSIX path that a write through `path` lands on: resolved as above with
// a missing last element allowed, then symbolic links followed to the file
// they name (which need not exist). False for a path that names nothing, a
// loop or a link that cannot be read.
bool ResolveWriteTarget(std::string_view path, std::string& posixTarget);

// What a path really reaches, as one text for comparison: the absolute path of
// its folder with links resolved, and its name after links, both in upper
// case, since names that differ only in letter case stand for one file.
// A path that names nothing gives its absolute form as written.
std::string FileIdentity(std::string_view path);

// The POSIX path of a program file in drive form: /opt/x becomes Z:\opt\x.
std::string ToDrivePath(std::string_view posixPath);

} // namespace platform
