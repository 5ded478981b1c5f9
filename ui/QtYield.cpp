#include "ui/QtYield.h"

#include <QCoreApplication>
#include <chrono>

#include "engine/Yield.h"

namespace tidyfold::ui {

void InstallQtYieldHook()
{
    // The engine yields once per file, tens of thousands of times a second.
    // Processing events at most every few milliseconds keeps the window
    // responsive (a person cannot tell 5 ms from none) while the pass itself
    // stays about as fast as without a window.
    SetYieldHook([last = std::chrono::steady_clock::time_point{}]() mutable {
        const auto now = std::chrono::steady_clock::now();
        if (now - last < std::chrono::milliseconds(5))
            return;
        last = now;
        QCoreApplication::processEvents();
    });
}

}  // namespace tidyfold::ui
