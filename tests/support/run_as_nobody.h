#pragma once

#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

// Tests that need an ordinary user run a child process as user and group
// nobody. Only the superuser can switch to it; such tests skip otherwise.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNobodyGroup = 65534;

inline bool CanBecomeNobody() {
    return ::geteuid() == 0;
}

// In a child after fork: drops every group of the superuser, then its user.
inline bool BecomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobodyGroup) == 0 && ::setuid(kNobody) == 0;
}

// Runs the task in a child process as nobody: its result, or false when the
// child could not switch.
inline bool RunAsNobody(const std::function<bool()>& task) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(BecomeNobody() && task() ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}
