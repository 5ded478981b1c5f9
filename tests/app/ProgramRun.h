#pragma once

// The real program run as a separate process, the way a person, a script or
// the service manager runs it.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace tidyfold::test {

struct Ran {
    int status = -1;  // the exit status; 128 + the signal when killed
    std::string out;
    std::string err;
};

struct RunOptions {
    // "NAME=value" entries: the whole environment of the run, nothing else
    // (no display, no session bus unless given).
    std::vector<std::string> environment;
    bool asNobody = false;        // as the unprivileged user the tests drop to
    bool stderrTerminal = false;  // standard error on a pseudo-terminal
    // Called every few milliseconds while the program runs, with its pid:
    // what a person does meanwhile (press Ctrl+C, close the terminal).
    std::function<void(pid_t)> whileRunning;
    // Standard output as a file opened for writing ("/dev/full"), instead
    // of a pipe the test reads.
    std::string stdoutFile;
    bool stdoutClosed = false;  // a pipe whose reading end is closed before the start
};

// Runs program with arguments and returns what it printed. Ends it after a
// minute, counted as a failure.
Ran RunProgram(const std::string& program, const std::vector<std::string>& arguments, const RunOptions& options);

}  // namespace tidyfold::test
