#pragma once

// The one way a pass is run, whichever front end starts it: the window's
// buttons and its Preview and History, the command line and the schedule.
// It checks the settings and the folders once, runs the operations in the
// order Clean Desktop runs them, records the pass in the history, and ends
// every pass the same way, with one account of it (PassReport.h). The front
// ends only word that account.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Clock.h"
#include "engine/PassReport.h"
#include "engine/Plan.h"
#include "history/Records.h"

namespace tidyfold {
class cOptions;
class cTidyfold;
}  // namespace tidyfold

namespace tidyfold::history {

class History;
struct PassStart;

class PassRunner {
public:
    // Records in history, or in the default history, opened when a pass
    // first needs it (History::OpenDefault), when history is nullptr.
    // origin is what every pass of this runner is recorded as started by.
    explicit PassRunner(PassOrigin origin, History* history = nullptr, Clock clock = SystemClock());
    ~PassRunner();
    PassRunner(const PassRunner&) = delete;
    PassRunner& operator=(const PassRunner&) = delete;

    // Runs operation (not Undo) on the Desktop with engine, a fresh one
    // whose events, clock and stop the front end has set. A Desktop clean
    // also loads options, when given, and takes the unpacked-folder setting
    // from it (the window's own settings object). Never throws for what the
    // pass meets: a failure at any step ends the pass, and the report says
    // what was done before it.
    PassReport Run(cTidyfold& engine, Operation operation, cOptions* options = nullptr);
    // Carries out the chosen entries of plan (the Preview's Clean Selected)
    // with engine, as a Desktop clean.
    PassReport CarryOut(cTidyfold& engine, const CleanPlan& plan, const std::vector<bool>& chosen);
    // Puts back what pass took off the Desktop: everything it can, or the
    // given actions of it.
    PassReport Undo(std::int64_t pass, const std::vector<std::int64_t>& actions = {});

    // What operation would do now, found as Run would find it, without
    // changing anything. Throws: the operation could not be planned.
    static CleanPlan Plan(cTidyfold& engine, Operation operation);

    // The history passes are recorded in, opened now if need be. Throws.
    History& Recorded();
    // How many times the end of a pass is tried again when another program
    // holds the history's lock; tests lower it.
    void SetEndTries(int tries) { endTries_ = tries; }

private:
    template <typename Body>
    PassReport RunRecorded(cTidyfold& engine, PassReport report, const PassStart& start, Body&& body);

    PassOrigin origin_;
    History* history_;
    std::unique_ptr<History> owned_;
    Clock clock_;
    int endTries_ = 3;
};

// The ending the history records for a report.
PassEnding EndingOf(const PassReport& report);

}  // namespace tidyfold::history
