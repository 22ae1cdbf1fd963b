// A way to run code as an unprivileged user, so that permission checks bite even when the tests run as root.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace lanwick::test {

// The user id the permission tests run as when we are root.
constexpr uid_t kNobody = 65534;

// Runs fn as kNobody in a child process when we are root (root passes every permission check), else in place.
// Returns fn's result, or -1 when the child could not run it.
inline int RunUnprivileged(const std::function<int()>& fn) {
    if (::geteuid() != 0)
        return fn();
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(255);
        ::_exit(fn());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace lanwick::test
