// The schedule's files on disk: what each choice installs and removes, what
// it asks systemctl, what the dialog reads back; the units checked by
// systemd-analyze and the autostart entry by desktop-file-validate where
// they are installed.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/SystemdSchedule.h"
#include "base/Error.h"
#include "tests/support/Sandbox.h"
#include "tests/support/TempDir.h"

namespace tidyfold::test {
namespace {

using app::SystemdSchedule;
using ui::ScheduleChoice;
using Command = std::vector<std::string>;

bool Installed(const char* tool) {
    const std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

class Schedule : public ::testing::Test {
protected:
    // A program path that needs quoting in both kinds of file.
    void SetUp() override {
        program = sandbox.Path() + "/my apps/tidy%fold$x";
        WriteFile(program, "#!/bin/sh\n");
        ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    }
    std::string Unit(const char* name) const { return SystemdSchedule::UnitFolder() + "/" + name; }
    SystemdSchedule Make() {
        return SystemdSchedule(program, [this](const Command& command) {
            commands.push_back(command);
            return managerAnswers ? 0 : 1;
        });
    }

    Sandbox sandbox;
    std::string program;
    std::vector<Command> commands;
    bool managerAnswers = true;
};

TEST_F(Schedule, each_choice_installs_its_files_removes_the_others_and_reads_back) {
    struct Step {
        ScheduleChoice choice;
        bool timer;
        bool autostart;
        std::vector<Command> commands;
    };
    const Command reload{"systemctl", "--user", "daemon-reload"};
    const std::vector<Step> steps = {
        {ScheduleChoice::Daily, true, false,
         {reload, reload, {"systemctl", "--user", "enable", "tidyfold-clean.timer"},
          {"systemctl", "--user", "restart", "tidyfold-clean.timer"}}},
        {ScheduleChoice::Weekly, true, false,
         {reload, reload, {"systemctl", "--user", "enable", "tidyfold-clean.timer"},
          {"systemctl", "--user", "restart", "tidyfold-clean.timer"}}},
        {ScheduleChoice::AtLogin, false, true,
         {reload, {"systemctl", "--user", "disable", "--now", "tidyfold-clean.timer"}, reload}},
        {ScheduleChoice::Never, false, false, {}},
    };
    SystemdSchedule schedule = Make();
    EXPECT_EQ(schedule.Current(), ScheduleChoice::Never);
    for (const Step& step : steps) {
        SCOPED_TRACE(static_cast<int>(step.choice));
        commands.clear();
        EXPECT_EQ(schedule.Apply(step.choice), "");
        EXPECT_EQ(commands, step.commands);
        EXPECT_EQ(Exists(Unit("tidyfold-clean.timer")), step.timer);
        EXPECT_EQ(Exists(Unit("tidyfold-clean.service")), step.timer);
        EXPECT_EQ(Exists(SystemdSchedule::AutostartFile()), step.autostart);
        // Read back from the files alone, by a schedule that never wrote them.
        EXPECT_EQ(Make().Current(), step.choice);
    }
    EXPECT_EQ(SystemdSchedule::UnitFolder(), sandbox.Home() + "/.config/systemd/user");
}

TEST_F(Schedule, without_a_user_manager_the_timer_is_installed_and_the_user_told) {
    managerAnswers = false;
    SystemdSchedule schedule = Make();
    const std::string note = schedule.Apply(ScheduleChoice::Daily);
    EXPECT_NE(note.find("No systemd user manager answered"), std::string::npos) << note;
    const std::vector<Command> reloadOnly{Command{"systemctl", "--user", "daemon-reload"}};
    EXPECT_EQ(commands, reloadOnly);
    EXPECT_EQ(schedule.Current(), ScheduleChoice::Daily);
    // A link a manager made when it was enabled goes with the timer.
    MakeDirs(SystemdSchedule::UnitFolder() + "/timers.target.wants");
    ASSERT_EQ(symlink(Unit("tidyfold-clean.timer").c_str(),
                      (SystemdSchedule::UnitFolder() + "/timers.target.wants/tidyfold-clean.timer").c_str()),
              0);
    EXPECT_EQ(schedule.Apply(ScheduleChoice::Never), "");
    EXPECT_FALSE(Exists(SystemdSchedule::UnitFolder() + "/timers.target.wants/tidyfold-clean.timer"));
    EXPECT_FALSE(Exists(Unit("tidyfold-clean.timer")));
    EXPECT_EQ(schedule.Current(), ScheduleChoice::Never);
}

TEST_F(Schedule, files_run_the_program_by_its_full_path_quiet_and_pass_their_checkers) {
    SystemdSchedule schedule = Make();
    schedule.Apply(ScheduleChoice::Weekly);
    const std::string service = ReadFile(Unit("tidyfold-clean.service"));
    EXPECT_NE(service.find("ExecStart=\"" + sandbox.Path() + "/my apps/tidy%%fold$x\" --clean --quiet\n"),
              std::string::npos)
        << service;
    // Skipped, not failed, once the program is gone.
    EXPECT_NE(service.find("ConditionFileIsExecutable=" + sandbox.Path() + "/my apps/tidy%%fold$x\n"),
              std::string::npos)
        << service;
    const std::string timer = ReadFile(Unit("tidyfold-clean.timer"));
    for (const char* line : {"OnCalendar=weekly\n", "Persistent=true\n", "WantedBy=timers.target\n"})
        EXPECT_NE(timer.find(line), std::string::npos) << line;
    if (Installed("systemd-analyze")) {
        // The user manager's view, offline; it checks that the program exists.
        const std::string runtime = sandbox.Path() + "/runtime";
        MakeDirs(runtime);
        ASSERT_EQ(chmod(runtime.c_str(), 0700), 0);
        const std::string verify = "XDG_RUNTIME_DIR='" + runtime + "' systemd-analyze verify --user '" +
                                   Unit("tidyfold-clean.timer") + "' '" + Unit("tidyfold-clean.service") + "' 2>&1";
        EXPECT_EQ(std::system(verify.c_str()), 0) << verify;
    }

    schedule.Apply(ScheduleChoice::AtLogin);
    const std::string entry = ReadFile(SystemdSchedule::AutostartFile());
    EXPECT_NE(entry.find("Exec=\"" + sandbox.Path() + "/my apps/tidy%%fold\\\\$x\" --clean --quiet\n"),
              std::string::npos)
        << entry;
    EXPECT_NE(entry.find("TryExec=" + sandbox.Path() + "/my apps/tidy%fold$x\n"), std::string::npos) << entry;
    if (Installed("desktop-file-validate")) {
        const std::string validate = "desktop-file-validate '" + SystemdSchedule::AutostartFile() + "'";
        EXPECT_EQ(std::system(validate.c_str()), 0) << entry;
    }
    // A quote or a backslash an entry can hold, a unit cannot; a line break
    // or a relative path neither. Refused before anything is written.
    const std::string odd = "/opt/\"quoted\" \\ `x`/tidyfold";
    EXPECT_NE(app::AutostartText(odd).find("Exec=\"/opt/\\\\\"quoted\\\\\" \\\\\\\\ \\\\`x\\\\`/tidyfold\""),
              std::string::npos)
        << app::AutostartText(odd);
    EXPECT_NE(app::AutostartText(odd).find("TryExec=/opt/\"quoted\" \\\\ `x`/tidyfold\n"), std::string::npos);
    EXPECT_THROW(app::ServiceText(odd), Error);
    EXPECT_THROW(app::ServiceText("/bin/new\nline"), Error);
    EXPECT_THROW(app::AutostartText("relative/tidyfold"), Error);
}

}  // namespace
}  // namespace tidyfold::test
