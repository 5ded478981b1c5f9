#pragma once

#include "engine/cTidyfold.h"

namespace tidyfold::app {

// Ctrl+C, a service manager's TERM and a closed terminal's HUP all stop the
// run before its next file, as the Stop button does.
void HandleStopSignals();
// Whether one of them came.
bool StopSignalled();

// While it lives, the signals stop engine: the handler sets the engine's
// stop flag itself, which the engine sees before its next file and between
// the chunks of a copy, whether it yields or not.
class StopTarget {
public:
    explicit StopTarget(cTidyfold& engine);
    ~StopTarget();
    StopTarget(const StopTarget&) = delete;
    StopTarget& operator=(const StopTarget&) = delete;
};

}  // namespace tidyfold::app
