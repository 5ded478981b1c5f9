#pragma once

#include <string>
#include <vector>

#include "engine/PassReport.h"

namespace tidyfold::app {

// One change an operation would make, as a dry run prints it.
struct PlannedAction {
    std::string what;   // "move", "copy then delete", "delete", "send to the Trash", ...
    std::string path;   // the Desktop entry, as a full path
    std::string where;  // where it would go; empty when it goes nowhere
};

// "move: /home/a/Desktop/x.txt -> /home/a/Trash/x.txt".
std::string ActionLine(const PlannedAction& action);

// Prints, one line per action, what the operations would do, in the order
// they would run, and a closing line with the number of changes; changes
// nothing at all: no file or folder, no settings, no history. Returns the
// exit status: 0, 1 when stopped, 2 (the error on standard error) when an
// operation could not be planned.
int RunDryRun(const std::vector<Operation>& operations);

}  // namespace tidyfold::app
