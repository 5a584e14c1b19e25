#pragma once

#include "platform/file_state.h"

#include <cstddef>
#include <string>
#include <sys/stat.h>

// What the platform's own sources share; nothing above platform/ includes it.
namespace platform {

// Writes every byte, going on after interruptions; false with errno set on failure.
bool WriteAll(int descriptor, const void* data, size_t size);

// The folder part of a POSIX path, up to and including its last slash; empty
// for a name without one.
std::string FolderOfPosixPath(const std::string& path);

FileStamp StampOf(const struct stat& info);

} // namespace platform
