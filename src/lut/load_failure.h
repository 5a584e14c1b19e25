#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <string>

// Why a file that Load did not take is not a LUT, in a few words: the system's
// reason when it cannot be read, "empty file", OpenColorIO's own reason for a
// file of one of its formats, or "not a look or LUT file".
std::string WhyNotALutFile(FileAccess& files, const CVxString& path);
