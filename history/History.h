#pragma once

// The history of passes: an SQLite database that records every pass and,
// before each change a pass makes, what that change will be. It is what
// recovery reconciles after a pass was killed, what the History window
// shows and what Undo puts back.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Clock.h"
#include "history/Records.h"
#include "history/Recovery.h"

namespace tidyfold::history {

class Database;
class PassRecorder;

// What a pass is, as it starts.
struct PassStart {
    PassKind kind = PassKind::CleanDesktop;
    std::optional<int> mode;  // the transfer mode of a Clean Desktop
    std::string desktop;
    std::string offload;
    std::int64_t undoes = 0;  // for an Undo: the pass it puts back
    PassOrigin origin = PassOrigin::Unknown;
};

class History {
public:
    // Opens the history at path, creating it (not its folder) when missing.
    // Throws tidyfold::Error.
    explicit History(const std::string& path, Clock clock = SystemClock());
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // $XDG_STATE_HOME/tidyfold/history.sqlite, by default under
    // ~/.local/state; empty when no home folder is known.
    static std::string DefaultPath();
    // Opens the history at DefaultPath(), making its folders first.
    static std::unique_ptr<History> OpenDefault(Clock clock = SystemClock());

    const std::string& Path() const;

    // Reconciles with the disk every pass that never ended and whose
    // program is no longer running (Recovery.h); each then shows as
    // interrupted.
    std::vector<RecoveredPass> Recover();

    // Recovers, then starts recording a pass. The recorder is the journal to
    // connect to the engine; End it when the pass ends. Throws.
    std::unique_ptr<PassRecorder> Begin(const PassStart& start);

    // The passes, newest first; at most limit of them when limit > 0.
    std::vector<PassRecord> Passes(std::size_t limit = 0) const;
    std::optional<PassRecord> Pass(std::int64_t id) const;
    // The actions of a pass, in the order they were recorded.
    std::vector<ActionRecord> Actions(std::int64_t pass) const;
    // The given actions of a pass (those that belong to it), in order.
    std::vector<ActionRecord> Actions(std::int64_t pass, const std::vector<std::int64_t>& ids) const;

    // How long a write waits for another program's lock on the history
    // before it fails (EBUSY); tests shorten it.
    void SetBusyWait(int milliseconds);

    Database& Db() const { return *db_; }
    std::int64_t Now() const { return clock_(); }

private:
    std::shared_ptr<Database> db_;
    Clock clock_;
};

}  // namespace tidyfold::history
