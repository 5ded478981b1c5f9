#pragma once

// Standard output and standard error of a run without the window, checked
// the way GNU programs check them when they close standard output: a line
// that could not be written (a full disk, a closed pipe, an I/O error) is an
// error, said on standard error, and the exit status says it too.

namespace tidyfold::app {

// Before anything is printed. A closed pipe then no longer ends the program
// by SIGPIPE at whatever point it had reached: the write fails with EPIPE
// instead, and is noticed like any other failed write.
void WatchOutput();

// True once a write to standard output or standard error failed. A run that
// can no longer tell what it does stops at its next check, as on Ctrl+C.
bool OutputFailed();

// At the end of the run: flushes both streams. When standard output could
// not be written, says so on standard error ("tidyfold: write error: No
// space left on device") and returns at least 1 (not everything asked was
// done); a higher status stays. A failed standard error cannot be told
// anywhere, so only the status carries it.
int FinishOutput(int status);

}  // namespace tidyfold::app
