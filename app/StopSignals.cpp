#include "app/StopSignals.h"

#include <atomic>
#include <csignal>

namespace tidyfold::app {

namespace {

volatile std::sig_atomic_t gSignalled = 0;
// The running engine's stop flag. A lock-free atomic is safe to read in a
// handler; the flag itself is a volatile sig_atomic_t, all a handler may write.
std::atomic<volatile std::sig_atomic_t*> gStopFlag{nullptr};
static_assert(std::atomic<volatile std::sig_atomic_t*>::is_always_lock_free);

extern "C" void AskStop(int) {
    gSignalled = 1;
    if (volatile std::sig_atomic_t* flag = gStopFlag.load())
        *flag = 1;
}

}  // namespace

void HandleStopSignals() {
    struct sigaction action = {};
    action.sa_handler = AskStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool StopSignalled() { return gSignalled != 0; }

StopTarget::StopTarget(cTidyfold& engine) {
    gStopFlag.store(engine.StopFlag());
    // A signal that came before the engine was there stops it too.
    if (gSignalled != 0)
        engine.AbandonCopy();
}

StopTarget::~StopTarget() { gStopFlag.store(nullptr); }

}  // namespace tidyfold::app
