#include "tests/reliability/Driver.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace tidyfold::reliability {

namespace {

bool Overridden(const char* entry, const std::vector<std::string>& ours) {
    for (const std::string& own : ours) {
        auto name = own.substr(0, own.find('=') + 1);
        if (std::strncmp(entry, name.c_str(), name.size()) == 0)
            return true;
    }
    return false;
}

}  // namespace

pid_t StartDriver(const std::string& driver, const Sandbox& box, const std::string& outputPath,
                  const std::vector<std::string>& extra) {
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls.
    std::vector<std::string> env = box.Environment();
    std::vector<std::string> strings;
    for (char** e = environ; *e != nullptr; ++e)
        if (!Overridden(*e, env))
            strings.emplace_back(*e);
    strings.insert(strings.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& s : strings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string app = box.AppFolder();
    std::string program = driver;
    std::vector<std::string> arguments = extra;
    std::vector<char*> argv{program.data(), app.data()};
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::string errPath = outputPath + ".err";

    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) dup2(out, 1);
        if (err >= 0) dup2(err, 2);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

DriverEnd WaitDriver(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
    }
    DriverEnd end;
    if (WIFEXITED(status)) {
        end.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        end.killed = WTERMSIG(status) == SIGKILL;
        end.signal = WTERMSIG(status);
    }
    return end;
}

DriverEnd RunDriver(const std::string& driver, const Sandbox& box, const std::string& outputPath,
                    const std::vector<std::string>& extra) {
    return WaitDriver(StartDriver(driver, box, outputPath, extra));
}

std::uint64_t CrashSeed() {
    const char* text = std::getenv("TIDYFOLD_CRASH_SEED");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 20261207ULL;
}

void SleepSeconds(double seconds) {
    timespec t{static_cast<time_t>(seconds), static_cast<long>((seconds - static_cast<time_t>(seconds)) * 1e9)};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace tidyfold::reliability
