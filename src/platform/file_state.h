#pragma once

#include <cstdint>
#include <string>

namespace platform {

// One state of a file: the file itself (device and inode), its size and the
// time its content last changed. Another file at the name, or the same file
// written since, has another stamp.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;

    bool operator==(const FileStamp&) const = default;
};

// How a call on a file ended: done, or why not. `error` is the system's error
// (an errno value), or 0 where a rule of ours failed the call (a FIFO is never
// read); `cause` says why for people, in the system's words for the error.
// A failure always has a cause.
struct FileStatus {
    int error = 0;
    std::string cause;

    bool Ok() const { return error == 0 && cause.empty(); }
    explicit operator bool() const { return Ok(); }

    // The system's error, worded as the system words it.
    static FileStatus SystemError(int error);
    // A rule of ours, in its own words.
    static FileStatus Refusal(std::string cause) { return FileStatus{0, std::move(cause)}; }
};

} // namespace platform
