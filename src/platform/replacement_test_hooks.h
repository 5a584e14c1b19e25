#pragma once

namespace platform {

// Ways into a replacement for tests that must reach a moment or a path no
// caller can choose; the program itself never sets them.
struct ReplacementTestHooks {
    // Writes through a named temporary file, as on a file system without unnamed files.
    bool namedTemporaryOnly = false;
    // Called once the whole new file is ready, just before it takes the
    // target's name (a rename, or the link of an unnamed file).
    void (*beforeRename)() = nullptr;
    // Places the new file by plain renames and checks, as on a file system
    // whose renames take no flags.
    bool withoutRenameFlags = false;
};

extern ReplacementTestHooks g_replacementTestHooks;

} // namespace platform
