#include "ui/QtYield.h"

#include <QCoreApplication>
#include <chrono>

#include "engine/Yield.h"

namespace tidyfold::ui {

void InstallQtYieldHook()
{
    // The engine yields for every file, tens of thousands of times a second,
    // and a round of the event loop repaints the status line and the bars.
    // Thirty rounds a second keep the window responsive (Stop is seen within
    // a frame a person cannot tell from none) while the pass itself stays
    // about as fast as without a window.
    SetYieldHook([] { QCoreApplication::processEvents(); }, std::chrono::milliseconds(33));
}

}  // namespace tidyfold::ui
