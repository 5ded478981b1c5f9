#include "ui/QtYield.h"

#include <QCoreApplication>
#include <chrono>

#include "engine/Yield.h"

namespace tidyfold::ui {

namespace {

// Outside the hook: the engine calls a copy of the hook each time, so state
// kept inside the lambda would be forgotten after every call.
std::chrono::steady_clock::time_point gLastProcessed;

void ProcessEventsNowAndThen()
{
    // The engine yields once per file, tens of thousands of times a second,
    // and one round of the event loop costs tens of microseconds. Processing
    // events at most every few milliseconds keeps the window responsive (a
    // person cannot tell 5 ms from none) while the pass itself stays about as
    // fast as without a window.
    const auto now = std::chrono::steady_clock::now();
    if (now - gLastProcessed < std::chrono::milliseconds(5))
        return;
    gLastProcessed = now;
    QCoreApplication::processEvents();
}

}  // namespace

void InstallQtYieldHook()
{
    SetYieldHook(ProcessEventsNowAndThen);
}

}  // namespace tidyfold::ui
