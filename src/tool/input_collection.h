#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <vector>

// The directory pattern that stands for the looks and LUTs directly inside a folder.
CVxString DirectoryPattern(const CVxString& folder);

// Appends the full path of every non-hidden file matching the pattern, in listing order.
void CollectInputFiles(FileAccess& files, const CVxString& pattern, std::vector<CVxString>& inputs);
