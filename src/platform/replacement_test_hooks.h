#pragma once

namespace platform {

// Ways into a replacement for tests that must reach a moment or a path no
// caller can choose; the program itself never sets them.
struct ReplacementTestHooks {
    // Writes through a named temporary file, as on a file system without unnamed files.
    bool namedTemporaryOnly = false;
    // Called once the whole new file has its temporary name, just before it is
    // renamed over the target.
    void (*beforeRename)() = nullptr;
};

extern ReplacementTestHooks g_replacementTestHooks;

} // namespace platform
