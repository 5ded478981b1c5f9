#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tidyfold::app {

// Runs a program (found on PATH) with its arguments, its output discarded,
// and returns its exit status: -1 when it could not be started, did not end
// in time, or crashed.
using CommandRunner = std::function<int(const std::vector<std::string>& command)>;
int RunCommand(const std::vector<std::string>& command);

}  // namespace tidyfold::app
