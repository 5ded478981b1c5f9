#include "app/Output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "app/HeadlessRun.h"
#include "base/Error.h"

namespace tidyfold::app {

namespace {

// Set by SIGPIPE: the failed write it came with was one to a pipe that no
// one reads any more. Glibc's later calls may change errno before the end of
// the run, this does not.
volatile std::sig_atomic_t gPipeClosed = 0;

void PipeClosed(int) { gPipeClosed = 1; }

int AtLeast(int status, int floor) { return status > floor ? status : floor; }

}  // namespace

void WatchOutput() {
    // A handler rather than SIG_IGN: a program started from here gets the
    // usual SIGPIPE again with its exec, as it expects.
    struct sigaction action {};
    action.sa_handler = PipeClosed;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
}

bool OutputFailed() { return std::ferror(stdout) != 0 || std::ferror(stderr) != 0; }

int FinishOutput(int status) {
    // What is still buffered is written now; after an earlier failure glibc
    // tries it again, which gives a fresh errno to tell.
    errno = 0;
    const bool flushFailed = std::fflush(stdout) != 0;
    int error = flushFailed ? errno : 0;
    if (flushFailed || std::ferror(stdout) != 0) {
        if (error == 0 && gPipeClosed != 0)
            error = EPIPE;
        if (error != 0)
            std::fprintf(stderr, "tidyfold: write error: %s\n", SystemErrorText(error).c_str());
        else
            std::fputs("tidyfold: write error\n", stderr);
        status = AtLeast(status, kSomeFailed);
    }
    if (std::fflush(stderr) != 0 || std::ferror(stderr) != 0)
        status = AtLeast(status, kSomeFailed);
    return status;
}

}  // namespace tidyfold::app
