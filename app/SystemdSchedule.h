#pragma once

// The automatic clean as the desktop runs it: a systemd user timer and
// service for Every day and Every week, an XDG autostart entry for At login.
// Every choice is read back from those files; nothing else remembers it.

#include <string>

#include "app/Process.h"
#include "ui/Schedule.h"

namespace tidyfold::app {

class SystemdSchedule final : public ui::Schedule {
public:
    // program: the absolute path of the executable the clean runs.
    explicit SystemdSchedule(std::string program, CommandRunner run = RunCommand);

    ui::ScheduleChoice Current() override;
    std::string Apply(ui::ScheduleChoice choice) override;

    // Where the units and the entry go: $XDG_CONFIG_HOME/systemd/user and
    // $XDG_CONFIG_HOME/autostart (~/.config when it is not set).
    static std::string UnitFolder();
    static std::string AutostartFile();

private:
    bool ManagerAnswers();
    void InstallTimer(ui::ScheduleChoice choice, bool manager);
    void RemoveTimer();
    int Systemctl(const std::vector<std::string>& arguments);

    std::string program_;
    CommandRunner run_;
};

inline constexpr const char* kServiceName = "tidyfold-clean.service";
inline constexpr const char* kTimerName = "tidyfold-clean.timer";

// The files' texts; program is quoted as each format needs. Throws
// tidyfold::Error for a path no unit or entry could hold (a line break).
std::string ServiceText(const std::string& program);
std::string TimerText(ui::ScheduleChoice choice);  // Daily or Weekly
std::string AutostartText(const std::string& program);

}  // namespace tidyfold::app
