#include "tests/engine/EngineFixture.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "engine/Yield.h"
#include "fs/Fault.h"
#include "fs/FileSystem.h"

namespace tidyfold::test {

void Recorder::MovingFile(std::string sPath) {
    moving.push_back(sPath);
    if (onMoving)
        onMoving(sPath);
}

void Recorder::ScanningFile(std::string sPath) {
    scanning.push_back(sPath);
    if (onScanning)
        onScanning(sPath);
}

void Recorder::SetFileCount(std::int32_t lCount) {
    counts.push_back(lCount);
    if (onSetFileCount)
        onSetFileCount();
}

void Recorder::CopyProgressRoutine(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred) {
    progress.emplace_back(TotalFileSize, TotalBytesTransferred);
}

void EngineTest::SetUp() {
    home_ = tmp_ / "home";
    desktop_ = home_ + "/Desktop";
    app_ = tmp_ / "app";
    offload_ = tmp_ / "offload";
    MakeDirs(desktop_);
    MakeDirs(app_);
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ + "/.config").c_str(), 1);
    fs::SetApplicationFolderForTesting(app_);
    base_ = static_cast<std::int64_t>(std::time(nullptr)) + 10 * kDay;
    Now(base_ + kDay);
    engine_.Connect(&events_);
    Settings(0);
}

void EngineTest::TearDown() {
    SetYieldHook(nullptr);
    fs::fault::Reset();
    fs::SetApplicationFolderForTesting("");
}

void EngineTest::Settings(int copyAction, const std::string& timeLimit, int delNullFiles,
                          const std::string& trash) {
    WriteFile(app_ + "/settings.ini", "[TYFL]\nTimelimit=" + timeLimit +
                                          "\nCopyAction=" + std::to_string(copyAction) +
                                          "\nTrashPath=" + (trash.empty() ? offload_ : trash) +
                                          "\nDelUCFolders=0\nDelNullFiles=" + std::to_string(delNullFiles) +
                                          "\n");
}

void EngineTest::ArchiveList(const std::string& text) { WriteFile(app_ + "/compressed.lst", text); }

std::string EngineTest::Put(const std::string& relative, const std::string& contents) {
    const std::string path = desktop_ + "/" + relative;
    WriteFile(path, contents);
    return path;
}

std::string EngineTest::PutYoung(const std::string& relative, const std::string& contents) {
    const std::string path = Put(relative, contents);
    SetTimes(path, base_);
    return path;
}

std::string EngineTest::Dir(const std::string& relative) {
    const std::string path = desktop_ + "/" + relative;
    MakeDirs(path);
    return path;
}

void EngineTest::SetTimes(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

void EngineTest::Now(std::int64_t seconds) {
    engine_.SetClock([seconds] { return seconds; });
}

namespace {
void SnapshotInto(const std::string& root, const std::string& relative, std::map<std::string, std::string>& out) {
    const std::string folder = relative.empty() ? root : root + "/" + relative;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        const std::string path = root + "/" + rel;
        struct stat st {};
        lstat(path.c_str(), &st);
        const std::string mode = " " + std::to_string(st.st_mode & 07777);
        if (S_ISDIR(st.st_mode)) {
            out[rel] = "D" + mode;
            SnapshotInto(root, rel, out);
        } else if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = readlink(path.c_str(), target, sizeof target);
            out[rel] = "L:" + std::string(target, n > 0 ? static_cast<std::size_t>(n) : 0);
        } else if (S_ISREG(st.st_mode)) {
            out[rel] = "F:" + ReadFile(path) + mode;
        } else {
            out[rel] = "O" + mode;  // a FIFO would block a read
        }
    }
    closedir(dir);
}
}  // namespace

std::map<std::string, std::string> EngineTest::Snapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    SnapshotInto(root, "", out);
    return out;
}

}  // namespace tidyfold::test
