#pragma once

#include "foundation/vx_string.h"

#include <cstdint>
#include <memory>

class ParsedLook;

// Parses a look text. Null when the text is not a valid look; otherwise
// storedSize holds the stored 3D LUT size, 0 when none is stored.
std::unique_ptr<ParsedLook> ReadLook(const CVxString& text, uint32_t& storedSize);
