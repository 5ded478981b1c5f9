#pragma once

namespace tidyfold::history {

// The name of an SQLite VFS that wraps the system's default one and sends
// its opens, writes, truncations and syncs through the file layer's fault
// seam first (fs/Fault.h, the History* calls), so the tests can fail the
// history's writes as they fail every other write. With nothing armed it
// only forwards.
// Registered on first use.
const char* FaultVfsName();

// The errno of the last failed call on the history's files on this thread
// (an injected fault or a real failure), then 0 until the next failure.
// SQLite keeps no errno for most of the paths a failed commit takes.
int TakeFileErrno();

}  // namespace tidyfold::history
