#include "platform/file_state.h"

#include <cerrno>
#include <cstring>

namespace platform {

FileStatus FileStatus::SystemError(int error) {
    // A failure is never reported as a success, even where the system left no error.
    const int reported = error != 0 ? error : EIO;
    return FileStatus{reported, std::strerror(reported)};
}

} // namespace platform
