#pragma once

// The program's procedure module: start-up, the folder browser and the
// copy-progress routine.

#include <cstdint>

#include "shell/BrowseForFolder.h"
#include "shell/CopyProgress.h"

namespace tidyfold {

// Prepares the controls, shows the main window and runs the event loop until
// the last window closes. Returns the program's exit status.
int Main(int& argc, char** argv);

// -1 when the controls were prepared without an error, 0 otherwise.
std::int16_t InitControlClasses();

}  // namespace tidyfold
