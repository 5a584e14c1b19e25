#pragma once

#include "foundation/vx_string.h"

#include <string>

// Paths are framework texts: drive letter or server prefix, backslash separators.
// A slash is accepted everywhere and turned into a backslash before use. What
// a path names is asked of the file access (FileExists and IsFolder there).

// Strips double quotes from both ends, then splits; null outputs are skipped.
void SplitPath(const CVxString& path, CVxString* drive, CVxString* folder, CVxString* baseName,
               CVxString* extension);
void MakePath(CVxString& output, const CVxString& drive, const CVxString& folder,
              const CVxString& baseName, const CVxString& extension);
CVxString FileNameOf(const CVxString& path);
CVxString FolderOf(const CVxString& path);
CVxString ParentFolder(const CVxString& folder);
// Drive and folder of the program's own file, in drive form (Z:\...\bin\).
const CVxString& ProgramFolder();
const CVxString& ProgramFileName();
bool IsAbsolutePath(const CVxString& path);

// A path as people on this system write it: no drive Z:, slashes.
std::string PathForPeople(const CVxString& path);
