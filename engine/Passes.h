#pragma once

// The three operations as a front end runs them, and what their result says:
// the same for the main window's buttons and the command line, without Qt.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/Plan.h"
#include "settings/cOptions.h"

namespace tidyfold {

class cTidyfold;

enum class Operation {
    CleanDesktop,   // unpacked folders when the option says so, then a whole pass
    CleanUnpacked,  // folders unpacked beside their archives, option or not
    RemoveEmpty,    // empty folders below the Desktop
};

struct PassResult {
    Operation operation = Operation::CleanDesktop;
    // Folders removed beside their archives, when the operation removed any
    // kind of them (a Desktop clean only with the option on).
    std::optional<std::int32_t> unpackedRemoved;
    // Files a Desktop clean processed: every file it collected when it ran
    // to its end, those whose transfer had begun when it was stopped.
    std::int32_t processed = 0;
    std::int32_t collected = 0;  // files a Desktop clean collected
    bool stopped = false;        // the operation ended early on Stop
    // Where the processed files went: the offload folder (copy and move) or
    // the mode that left no folder to name.
    TransferMode mode = TransferMode::CopyThenDelete;
    std::string offload;
    std::int32_t failed = 0;     // copies and moves that failed
    // What the engine logged about each failure, in order.
    std::vector<std::string> failures;
};

// A Desktop clean's counts, destination and stop from engine once its Clean
// has returned (or failed in its closing step); unpackedRemoved is left.
void TakeCleanResult(const cTidyfold& engine, PassResult& result);

// Runs operation on the Desktop with engine, as the window's button does;
// options is the front end's own, reloaded for a Desktop clean. Throws what
// the engine throws: the pass could not run (or not to its end).
PassResult RunOperation(cTidyfold& engine, cOptions& options, Operation operation);

// What operation would do now, as RunOperation would run it, found without
// changing anything (a Desktop clean as the window plans it). Throws what the
// engine throws: the operation could not run.
CleanPlan PlanOperation(cTidyfold& engine, Operation operation);

// What the result box says, line by line: "Desktop Cleaning Complete!",
// "2 uncompressed folders removed", "15 files processed.", where the files
// went, or "Stopped: 841 of 4022 files processed." and the like. logHint
// ends the line that counts failures ("." without one).
std::vector<std::string> ResultLines(const PassResult& result, const std::string& logHint = ".");

}  // namespace tidyfold
