#include "tests/support/Unprivileged.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tidyfold::test {

unsigned UnprivilegedUid() { return 65534; }
unsigned UnprivilegedGid() { return 65534; }

int RunUnprivileged(const std::function<void()>& body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        gid_t gid = UnprivilegedGid();
        if (setgroups(1, &gid) != 0 || setgid(gid) != 0 || setuid(UnprivilegedUid()) != 0)
            _exit(120);
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tidyfold::test
