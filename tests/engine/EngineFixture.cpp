#include "tests/engine/EngineFixture.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "engine/Yield.h"
#include "fs/Fault.h"
#include "tests/support/Snapshot.h"

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
    base_ = static_cast<std::int64_t>(std::time(nullptr)) + 10 * kDay;
    Now(base_ + kDay);
    engine_.Connect(&events_);
    Settings(0);
}

void EngineTest::TearDown() {
    SetYieldHook(nullptr);
    fs::fault::Reset();
}

void EngineTest::Settings(int copyAction, const std::string& timeLimit, int delNullFiles,
                          const std::string& trash) {
    cOptions options = tmp_.Options(static_cast<TransferMode>(copyAction));
    options.DelNullFiles(static_cast<std::int16_t>(delNullFiles));
    if (!trash.empty())
        options.OffloadPath(trash);
    tmp_.WriteSettings(options);
    // The limit as the test wrote it, which need not be a number.
    tmp_.SetSetting("Timelimit", timeLimit);
}

void EngineTest::ArchiveList(const std::string& text) { tmp_.WriteArchiveList(text); }

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

std::map<std::string, std::string> EngineTest::Snapshot(const std::string& root) { return BriefTree(root); }

}  // namespace tidyfold::test
