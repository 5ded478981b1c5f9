#pragma once

// The program's entry.

namespace tidyfold {

// Prepares the controls, shows the main window and runs the event loop until
// the last window closes. Returns the program's exit status.
int Main(int& argc, char** argv);

}  // namespace tidyfold
