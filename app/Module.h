#pragma once

// The program's entry.

namespace tidyfold {

// Reads the command line first: with an operation, --help or --version it
// runs without a window (and needs no display); otherwise it prepares the
// controls, hands the windows the schedule, shows the main window and runs
// the event loop until the last window closes. Returns the exit status.
int Main(int& argc, char** argv);

}  // namespace tidyfold
