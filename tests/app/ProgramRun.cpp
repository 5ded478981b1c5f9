#include "tests/app/ProgramRun.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "tests/support/Unprivileged.h"

namespace tidyfold::test {

namespace {

constexpr auto kLimit = std::chrono::seconds(60);

[[noreturn]] void ExecChild(const std::string& program, const std::vector<std::string>& arguments,
                            const RunOptions& options, int out, int err) {
    if (dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0)
        _exit(126);
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    if (options.asNobody) {
        const gid_t gid = UnprivilegedGid();
        if (setgroups(1, &gid) != 0 || setgid(gid) != 0 || setuid(UnprivilegedUid()) != 0)
            _exit(125);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : options.environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
}

// Reads both streams to their ends (a pseudo-terminal ends in EIO).
void Drain(int out, int err, Ran& ran, pid_t pid, const std::function<void(pid_t)>& whileRunning) {
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    // poll passes over a stream that is not the test's to read (fd -1).
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    std::string* sinks[2] = {&ran.out, &ran.err};
    int open = out >= 0 ? 2 : 1;
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, whileRunning ? 5 : 200) < 0 && errno != EINTR)
            break;
        if (whileRunning)
            whileRunning(pid);
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

Ran RunProgram(const std::string& program, const std::vector<std::string>& arguments, const RunOptions& options) {
    int out[2];
    int err[2];
    if (!options.stdoutFile.empty()) {
        out[0] = -1;
        out[1] = open(options.stdoutFile.c_str(), O_WRONLY | O_CLOEXEC);
        if (out[1] < 0)
            return {};
    } else if (pipe2(out, O_CLOEXEC) != 0) {
        return {};
    }
    if (options.stdoutClosed) {
        close(out[0]);
        out[0] = -1;
    }
    if (options.stderrTerminal ? openpty(&err[0], &err[1], nullptr, nullptr, nullptr) != 0
                               : pipe2(err, O_CLOEXEC) != 0)
        return {};
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0)
        ExecChild(program, arguments, options, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    Ran ran;
    Drain(out[0], err[0], ran, pid, options.whileRunning);
    if (out[0] >= 0)
        close(out[0]);
    close(err[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ran;
}

}  // namespace tidyfold::test
