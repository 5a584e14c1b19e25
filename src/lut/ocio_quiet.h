#pragma once

// While a scope lives, OpenColorIO logs nothing: nothing below the tool
// prints, OpenColorIO included. Its logging level is the host's, though (the
// Python module shares it with an interpreter that uses OpenColorIO itself),
// so the level it had is put back when the last scope, on any thread, ends.
class OcioQuietScope {
public:
    OcioQuietScope();
    ~OcioQuietScope();
    OcioQuietScope(const OcioQuietScope&) = delete;
    OcioQuietScope& operator=(const OcioQuietScope&) = delete;
};
