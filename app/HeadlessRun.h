#pragma once

#include "app/CommandLine.h"

namespace tidyfold::app {

// Exit statuses of a run without the window.
inline constexpr int kAllWent = 0;
inline constexpr int kSomeFailed = 1;  // some files could not be transferred, or the run was stopped
inline constexpr int kCouldNotRun = 2;  // bad arguments or settings, no Desktop, any error that ends a pass

// Runs what request asks for without a window: --help and --version, or
// the operations in the order the window's Clean Desktop runs them (unpacked
// folders, the pass, empty folders). Prints each result as the window's box
// says it, each failure and error on standard error, progress on a terminal.
// A --quiet run counts as an automatic one: when it moved files or some
// could not be moved, a desktop notification says how many. Needs a
// QCoreApplication for the notification. Returns the exit status.
int RunHeadless(const Request& request);

}  // namespace tidyfold::app
