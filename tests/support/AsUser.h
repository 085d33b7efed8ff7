#pragma once
// Runs a piece of a test in a child process as an ordinary user, so checks
// that depend on permissions mean the same when the tests run as root.

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

// The user ids a root test hands its files to and runs as.
constexpr uid_t kOtherUser = 65534;
constexpr gid_t kOtherGroup = 65534;

// The exit status of `body` run in a child process as kOtherUser (as the
// current user when that is not root); 77 when privileges could not be
// dropped, 128 + signal when the child was killed.
inline int AsOrdinaryUser(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kOtherGroup) != 0 ||
                                 ::setuid(kOtherUser) != 0)) {
            ::_exit(77);
        }
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
        return 77;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A folder the ordinary user owns (when root); false when it cannot be given.
inline bool GiveToOrdinaryUser(const std::filesystem::path& path) {
    return ::geteuid() != 0 || ::chown(path.c_str(), kOtherUser, kOtherGroup) == 0;
}
