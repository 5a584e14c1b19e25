#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

enum class EAccess : uint8_t { eRead, eWrite, eList };

// Lets whoever runs several files at once hold back a thread's file access until
// the files before it in the run are far enough along. Every lookup, open and
// replacement of a path passes its last element through the gate of the calling
// thread (eRead or eWrite); a folder listing passes its name pattern (eList).
class AccessGate {
public:
    virtual void Before(std::string_view name, EAccess access) = 0;

protected:
    ~AccessGate() = default;
};

// The calling thread's gate; null when nothing holds its access back.
AccessGate* ThreadAccessGate();
void SetThreadAccessGate(AccessGate* gate);

// Passes the last element of a path (after the last slash or backslash), or a
// listing's pattern, through the calling thread's gate, if it has one.
void PassAccessGate(std::string_view path, EAccess access);

} // namespace platform
