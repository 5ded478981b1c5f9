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
    std::string stays;  // why it would stay where it is (its drive cannot hold it); usually empty
};

// "move: /home/a/Desktop/x.txt -> /home/a/Trash/x.txt", and when it would
// stay, " (stays: the exFAT drive cannot store ':' in a name)".
std::string ActionLine(const PlannedAction& action);

// Prints, one line per action, what the operations would do, in the order
// they would run, and a closing line with the number of changes; changes
// nothing at all: no file or folder, no settings, no history. Returns the
// exit status: 0, 1 when stopped, 2 (the error on standard error) when an
// operation could not be planned.
int RunDryRun(const std::vector<Operation>& operations);

}  // namespace tidyfold::app
