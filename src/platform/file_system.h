#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace platform {

// Opens a file with an fopen mode ("t" is accepted and means nothing here). Reading modes
// need an existing file; writing modes reuse an existing name that differs only in case.
// Folders are never opened. Returns null on failure.
FILE* OpenStream(std::string_view path, const char* mode);

// True when the path names an existing folder.
bool IsFolder(std::string_view path);

// Writes the bytes to a temporary file beside the target, flushes it and renames it over
// the target. On failure the old file is untouched and no temporary file is left.
bool ReplaceFile(std::string_view path, const void* data, size_t size);

// Appends bytes to a file, creating it when its folder exists.
bool AppendToFile(std::string_view path, const void* data, size_t size);

} // namespace platform
