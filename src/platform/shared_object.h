#pragma once

#include <string>

namespace platform {

// A shared object loaded for the rest of the process, with its symbols kept to
// itself. Null, with the system's reason in `problem`, when it cannot be loaded.
void* LoadSharedObject(const std::string& path, std::string& problem);

// The address of a symbol of a loaded shared object; null when it has none.
void* SharedObjectSymbol(void* object, const char* name);

// The system path of the loaded file (program or shared object) that holds
// the code or data at `address`, links resolved; empty when the system does
// not tell.
std::string ObjectSystemPath(const void* address);

// The system path of the folder of the loaded file (program or shared object)
// that holds the code or data at `address`, ending in a slash; empty when the
// system does not tell.
std::string ObjectFolderSystemPath(const void* address);

} // namespace platform
