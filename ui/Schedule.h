#pragma once

// The automatic clean, as the Options dialog sees it. What installs it (the
// systemd user timer, the autostart entry) belongs to the program's entry,
// which hands the windows an implementation at start-up; the windows know
// only this interface. Without one, the Schedule tab is shown but disabled.

#include <string>

namespace tidyfold::ui {

enum class ScheduleChoice {
    Never,
    AtLogin,
    Daily,
    Weekly,
};

class Schedule {
public:
    virtual ~Schedule() = default;
    // What is installed now, read back from what the schedule installs, never
    // from a copy of its own.
    virtual ScheduleChoice Current() = 0;
    // Installs choice and removes what another choice had installed. Returns
    // what the user should know beyond that (empty for nothing), such as no
    // service manager answering. Throws tidyfold::Error when it cannot.
    virtual std::string Apply(ScheduleChoice choice) = 0;
};

// The schedule the windows use: nullptr until the program sets one.
Schedule* TheSchedule();
// The caller keeps ownership; nullptr takes it away again.
void SetSchedule(Schedule* schedule);

}  // namespace tidyfold::ui
