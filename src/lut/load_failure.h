#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <string>

// Why a file whose bytes could be read is no LUT that Load takes, in a few
// words: OpenColorIO's own reason for a file of one of its formats, "not a
// valid FORMAT file" for a file under an extension that one format alone
// lists (".cube", ".3dl"), or "not a look or LUT file".
std::string WhyReadFileIsNotALut(FileAccess& files, const CVxString& path);

// The same for a file not read yet: the system's reason when it cannot be
// read, "empty file" when it holds nothing, else as above.
std::string WhyNotALutFile(FileAccess& files, const CVxString& path);
