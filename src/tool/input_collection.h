#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <vector>

// The directory pattern that stands for the looks and LUTs directly inside a
// folder: .look and .lut files, or with `everyLutFile` (as -to takes folders)
// the files of every LUT extension too.
CVxString DirectoryPattern(const CVxString& folder, bool everyLutFile = false);

// Appends the full path of every non-hidden file matching the pattern, in
// listing order. A name without wildcards, or the name of an existing file
// whatever characters it holds (";", ",", "*"), names one file: the one of
// exactly that name when there is one, else the first whose name differs only
// in letter case (on a file system that tells case apart, a name can match
// several). Only a pattern that names no file is a list of wildcards.
void CollectInputFiles(FileAccess& files, const CVxString& pattern, std::vector<CVxString>& inputs);
