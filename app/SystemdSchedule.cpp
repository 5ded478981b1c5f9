#include "app/SystemdSchedule.h"

#include <cerrno>
#include <optional>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "shell/HomeFolder.h"
#include "shell/UserDirs.h"

namespace tidyfold::app {

using ui::ScheduleChoice;

namespace {

void CheckProgram(const std::string& program) {
    if (program.empty() || program.front() != '/')
        throw Error::Refused("The schedule needs the program's full path: " + program);
    for (const char c : program)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            throw Error::Refused("The program's path holds a control character and cannot be scheduled.", program);
}

// A path in a unit's setting other than ExecStart=: "%" doubled, so no
// specifier is read into it (quotes and backslashes are refused before).
std::string UnitPath(const std::string& program) {
    std::string out;
    for (const char c : program) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

// The executable of ExecStart= in double quotes, "%" doubled so no
// specifier is read into it. systemd runs no program whose name holds a
// quote or a backslash, however escaped.
std::string UnitQuoted(const std::string& program) {
    if (program.find_first_of("\"'\\") != std::string::npos)
        throw Error::Refused("A timer cannot run a program whose path holds a quote or a backslash; "
                             "choose \"At login\" instead.",
                             program);
    return "\"" + UnitPath(program) + "\"";
}

// A plain string value of a desktop entry: only "\" is special in a path
// without control characters.
std::string EntryString(const std::string& program) {
    std::string out;
    for (const char c : program) {
        if (c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

// Exec= of a desktop entry: quoted, with the four bytes the quoting reserves
// escaped, "%" doubled, and then every "\" doubled again as the entry's
// string values want.
std::string EntryQuoted(const std::string& program) {
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%';
    }
    quoted += '"';
    return EntryString(quoted);
}

std::string ConfigFolder() { return WithoutTrailingSlash(ConfigHome(HomeFolder())); }

std::string WantsLink() { return SystemdSchedule::UnitFolder() + "/timers.target.wants/" + kTimerName; }

// Makes folder and the missing folders above it.
void MakeFolders(const std::string& folder) {
    if (folder.empty() || fs::FolderExists(folder))
        return;
    MakeFolders(fs::ParentPath(folder));
    if (!fs::FolderExists(folder))
        fs::CreateFolder(folder);
}

void Remove(const std::string& path) {
    if (const int error = fs::DeleteFile(path); error != 0 && error != ENOENT)
        throw Error::System(error, "cannot remove", path);
}

void Write(const std::string& path, const std::string& text) {
    MakeFolders(fs::ParentPath(path));
    fs::WriteFileAtomically(path, text);
}

// The text of path, or nothing when it is missing.
std::optional<std::string> ReadIfPresent(const std::string& path) {
    try {
        return fs::ReadWholeFile(path);
    } catch (const Error& error) {
        if (error.Number() == ENOENT)
            return std::nullopt;
        throw;
    }
}

}  // namespace

std::string ServiceText(const std::string& program) {
    CheckProgram(program);
    return "[Unit]\n"
           "Description=Tidyfold: clean the Desktop\n"
           // Once the package is gone the timer still fires; the service is
           // then skipped rather than failing every day.
           "ConditionFileIsExecutable=" +
           UnitPath(program) +
           "\n"
           "\n"
           "[Service]\n"
           "Type=oneshot\n"
           "ExecStart=" +
           UnitQuoted(program) +
           " --clean --quiet\n"
           "Nice=10\n"
           "IOSchedulingClass=idle\n";
}

std::string TimerText(ScheduleChoice choice) {
    const bool weekly = choice == ScheduleChoice::Weekly;
    return std::string("[Unit]\n") + "Description=Tidyfold: clean the Desktop every " + (weekly ? "week" : "day") +
           "\n\n[Timer]\nOnCalendar=" + (weekly ? "weekly" : "daily") +
           "\n"
           // A run missed while the computer was off happens at the next start.
           "Persistent=true\n"
           "\n"
           "[Install]\n"
           "WantedBy=timers.target\n";
}

std::string AutostartText(const std::string& program) {
    CheckProgram(program);
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tidyfold Desktop clean\n"
           "Comment=Cleans the Desktop at login with the saved options\n"
           // Desktops skip the entry once the program is gone.
           "TryExec=" +
           EntryString(program) +
           "\n"
           "Exec=" +
           EntryQuoted(program) +
           " --clean --quiet\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

SystemdSchedule::SystemdSchedule(std::string program, CommandRunner run)
    : program_(std::move(program)), run_(std::move(run)) {}

std::string SystemdSchedule::UnitFolder() { return ConfigFolder() + "/systemd/user"; }

std::string SystemdSchedule::AutostartFile() { return ConfigFolder() + "/autostart/tidyfold-clean.desktop"; }

ScheduleChoice SystemdSchedule::Current() {
    if (const auto timer = ReadIfPresent(UnitFolder() + "/" + kTimerName))
        return timer->find("OnCalendar=weekly") != std::string::npos ? ScheduleChoice::Weekly : ScheduleChoice::Daily;
    if (const auto entry = ReadIfPresent(AutostartFile()))
        return entry->find("Hidden=true") == std::string::npos ? ScheduleChoice::AtLogin : ScheduleChoice::Never;
    return ScheduleChoice::Never;
}

int SystemdSchedule::Systemctl(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"systemctl", "--user"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return run_(command);
}

// A user manager that takes a reload is one that will run the timer.
bool SystemdSchedule::ManagerAnswers() { return Systemctl({"daemon-reload"}) == 0; }

void SystemdSchedule::InstallTimer(ScheduleChoice choice, bool manager) {
    Write(UnitFolder() + "/" + kServiceName, ServiceText(program_));
    Write(UnitFolder() + "/" + kTimerName, TimerText(choice));
    if (!manager)
        return;
    // The files changed under the manager: it reads them again before the
    // timer starts (again, should it run with another calendar).
    if (Systemctl({"daemon-reload"}) != 0 || Systemctl({"enable", kTimerName}) != 0 ||
        Systemctl({"restart", kTimerName}) != 0)
        throw Error::Refused("systemctl could not enable and start " + std::string(kTimerName) + ".");
}

void SystemdSchedule::RemoveTimer() {
    // Stopped and disabled while its files are still there to name it.
    const bool manager = ReadIfPresent(UnitFolder() + "/" + kTimerName) && ManagerAnswers();
    if (manager)
        Systemctl({"disable", "--now", kTimerName});
    Remove(WantsLink());
    Remove(UnitFolder() + "/" + kTimerName);
    Remove(UnitFolder() + "/" + kServiceName);
    if (manager)
        Systemctl({"daemon-reload"});
}

std::string SystemdSchedule::Apply(ScheduleChoice choice) {
    CheckProgram(program_);
    if (choice == ScheduleChoice::Daily || choice == ScheduleChoice::Weekly) {
        const bool manager = ManagerAnswers();
        InstallTimer(choice, manager);
        Remove(AutostartFile());
        if (!manager)
            return "No systemd user manager answered, so the timer is installed but not running. "
                   "Choose \"At login\" to clean the Desktop without one.";
        return {};
    }
    RemoveTimer();
    if (choice == ScheduleChoice::AtLogin)
        Write(AutostartFile(), AutostartText(program_));
    else
        Remove(AutostartFile());
    return {};
}

}  // namespace tidyfold::app
