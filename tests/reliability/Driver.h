#pragma once

// Starting the crash driver in a child process with a sandbox's environment.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/reliability/LossCheck.h"

namespace tidyfold::reliability {

// Starts the driver over the sandbox; its output goes to outputPath and
// outputPath + ".err". Returns the child's pid.
// Extra arguments follow the application folder.
pid_t StartDriver(const std::string& driver, const Sandbox& box, const std::string& outputPath,
                  const std::vector<std::string>& extra = {});

struct DriverEnd {
    bool killed = false;  // ended by SIGKILL
    int exitCode = -1;    // when it exited on its own
    int signal = 0;       // any other signal
};

DriverEnd WaitDriver(pid_t pid);
// Runs the driver to its end.
DriverEnd RunDriver(const std::string& driver, const Sandbox& box, const std::string& outputPath,
                    const std::vector<std::string>& extra = {});

// The seed of the crash suites: TIDYFOLD_CRASH_SEED, or a fixed default so
// that a failure reproduces.
std::uint64_t CrashSeed();
void SleepSeconds(double seconds);
double SecondsSince(std::chrono::steady_clock::time_point start);

}  // namespace tidyfold::reliability
