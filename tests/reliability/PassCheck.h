#pragma once

// Running a pass in this process and judging its outcome against the
// engine's failure channels: an error that ends the operation, or a log line
// per failed transfer with the pass going on.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fs/Fault.h"
#include "tests/reliability/LossCheck.h"

namespace tidyfold::reliability {

struct PassOutcome {
    bool threw = false;       // a tidyfold::Error ended the pass
    int number = 0;           // its number
    std::string what;
    bool foreign = false;     // something other than tidyfold::Error escaped
    std::string log;          // the engine's Log
    // Uses of each call of the seam by the time the pass ended (for a
    // recorded pass, before the history's connection closed).
    std::map<fs::fault::Call, long> usesAtEnd;
};

// ProcessCompressed on the Desktop, then Clean, as the main window runs them
// when folders beside archives are to be removed; "now" is kFarFuture. When
// recorded, the pass is recorded in the sandbox's history as the window
// records it (an error ends it as failed).
PassOutcome RunPass(const Sandbox& box, bool processCompressed = true, bool recorded = false);

// The Desktop-relative paths of the log's lines that begin with prefix and
// end with suffix ("File copy of ", " FAILED.").
std::vector<std::string> LoggedPaths(const std::string& log, const std::string& desktop,
                                     const std::string& prefix, const std::string& suffix);

// Whether the log accounts for a file left on the Desktop: a failed copy,
// move, delete after copy or sending to the Trash, or a file that could not
// be examined.
bool LogExplains(const std::string& log, const std::string& desktop, const std::string& relative);

struct Judgement {
    const Snapshot* originals = nullptr;
    int mode = 0;
    // Originals that may be gone for good (removed with their archive's
    // folder, or deleted in mode 2).
    std::function<bool(const std::string&)> mayVanish;
    // Files left on the Desktop with no log line are accepted (an injected
    // ENOENT tells the engine the file has gone).
    bool silentLeftoversAllowed = false;
    // What the offload folder held before the pass; none of it may change.
    const Snapshot* earlier = nullptr;
};

// Everything one run may be blamed for: lost or damaged data, log lines that
// do not match the disk, files silently left behind by a pass that ended
// normally.
std::vector<std::string> JudgePass(const Sandbox& box, const PassOutcome& outcome, const Judgement& judgement);

// After an undisturbed pass: every original that may not vanish is complete
// in the offload folder (or the default one), and none is left on the
// Desktop unless a refused move says so.
std::vector<std::string> JudgeFinished(const Sandbox& box, const PassOutcome& outcome, const Judgement& judgement);

std::string Report(const std::vector<std::string>& problems);

// The desktop's Trash as a file manager would restore it: each entry of
// Trash/files that has its info file, under the Desktop-relative path that
// info file names. Entries from elsewhere, and files without info, are left
// out (a file manager could not put them back).
Snapshot TrashAsRestored(const std::string& trash, const std::string& desktop);

}  // namespace tidyfold::reliability
