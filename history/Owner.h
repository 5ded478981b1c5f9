#pragma once

// Which program runs a pass. A pass that never ended is reconciled with the
// disk only when the program that ran it is gone: a second Tidyfold started
// during a pass must not take that pass for a killed one and finish or
// remove what it is still working on.

#include <cstdint>
#include <string>

namespace tidyfold::history {

// This process, as "boot id:pid:start time": a pid alone may be reused.
std::string ThisProgram();
// True when owner (a ThisProgram() of some process) still runs.
bool StillRunning(const std::string& owner);

// Passes this process is recording right now.
void MarkRecording(std::int64_t pass);
void MarkNotRecording(std::int64_t pass);
bool Recording(std::int64_t pass);

}  // namespace tidyfold::history
