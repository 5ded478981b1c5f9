#include "history/Owner.h"

#include <unistd.h>

#include <mutex>
#include <set>

#include "base/Error.h"
#include "fs/FileSystem.h"

namespace tidyfold::history {

namespace {

std::string ReadOrEmpty(const std::string& path) {
    try {
        return fs::ReadKernelFile(path);
    } catch (const Error&) {
        return {};
    }
}

std::string BootId() {
    std::string id = ReadOrEmpty("/proc/sys/kernel/random/boot_id");
    while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
        id.pop_back();
    return id;
}

// The process's start time in clock ticks since boot: the 22nd field of
// /proc/<pid>/stat, counted after the command name, which is in
// parentheses and may itself hold spaces and parentheses.
std::string StartTime(const std::string& pid) {
    const std::string stat = ReadOrEmpty("/proc/" + pid + "/stat");
    std::size_t at = stat.rfind(')');
    if (at == std::string::npos)
        return {};
    // Fields 3 to 21 come before it.
    for (int field = 2; field < 22 && at != std::string::npos; ++field)
        at = stat.find(' ', at + 1);
    if (at == std::string::npos)
        return {};
    const std::size_t end = stat.find(' ', at + 1);
    return stat.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

std::string ProgramOf(const std::string& pid) {
    const std::string start = StartTime(pid);
    return start.empty() ? std::string() : BootId() + ":" + pid + ":" + start;
}

std::mutex recordingLock;
std::set<std::int64_t>& RecordingNow() {
    static std::set<std::int64_t> passes;
    return passes;
}

}  // namespace

std::string ThisProgram() {
    static const std::string self = ProgramOf(std::to_string(getpid()));
    return self;
}

bool StillRunning(const std::string& owner) {
    const std::size_t first = owner.find(':');
    const std::size_t second = first == std::string::npos ? first : owner.find(':', first + 1);
    if (second == std::string::npos)
        return false;
    const std::string pid = owner.substr(first + 1, second - first - 1);
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
        return false;
    return ProgramOf(pid) == owner;
}

void MarkRecording(std::int64_t pass) {
    std::lock_guard<std::mutex> lock(recordingLock);
    RecordingNow().insert(pass);
}

void MarkNotRecording(std::int64_t pass) {
    std::lock_guard<std::mutex> lock(recordingLock);
    RecordingNow().erase(pass);
}

bool Recording(std::int64_t pass) {
    std::lock_guard<std::mutex> lock(recordingLock);
    return RecordingNow().count(pass) != 0;
}

}  // namespace tidyfold::history
