#pragma once

// The test sandbox (a home with a Desktop, an application folder holding
// settings.ini and compressed.lst, an offload folder) and an engine whose
// clock the test sets.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/cTidyfold.h"
#include "tests/support/Sandbox.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace tidyfold::test {

// Records every event; optional hooks let a test act in the middle of a pass.
class Recorder : public cTidyfoldEvents {
public:
    void MovingFile(std::string sPath) override;
    void ScanningFile(std::string sPath) override;
    void SetFileCount(std::int32_t lCount) override;
    void CopyProgressRoutine(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred) override;

    std::vector<std::string> moving;
    std::vector<std::string> scanning;
    std::vector<std::int32_t> counts;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    std::function<void(const std::string&)> onMoving;
    std::function<void(const std::string&)> onScanning;
    std::function<void()> onSetFileCount;
};

inline constexpr std::int64_t kDay = 86400;

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes settings.ini; trash empty means the fixture's offload folder.
    void Settings(int copyAction, const std::string& timeLimit = "7", int delNullFiles = 0,
                  const std::string& trash = "");
    void ArchiveList(const std::string& text);

    // A Desktop file (missing folders created). Its times are left as the
    // system set them, which makes it about ten days old at the fixture's
    // "now"; Young() makes it one day old.
    std::string Put(const std::string& relative, const std::string& contents = "data");
    std::string PutYoung(const std::string& relative, const std::string& contents = "data");
    std::string Dir(const std::string& relative);  // a Desktop folder
    // Access and write times of path (a link itself, not its target).
    static void SetTimes(const std::string& path, std::int64_t seconds);
    // The log's line after a copy or move: where the file landed below the
    // offload folder, and the name that was taken when it is another.
    std::string Offloaded(const std::string& relative, const std::string& taken = "") const {
        const std::string why = taken.empty() ? "" : " (" + taken + " was taken there)";
        return "\r\nOffloaded to " + offload_ + "/" + relative + why + ".";
    }
    void Now(std::int64_t seconds);

    // Every entry below root (none when root is missing), keyed by relative
    // path, as BriefTree gives it: kind, contents and permission bits, or a
    // link's target.
    static std::map<std::string, std::string> Snapshot(const std::string& root);

    Sandbox tmp_;  // its root is tmp_.Path()
    std::string home_ = tmp_.Home();
    std::string desktop_ = tmp_.Desktop();
    std::string app_ = tmp_.AppFolder();
    std::string offload_ = tmp_.Offload();
    // Whole seconds ten days ahead of the real clock: a file given this time
    // has it as its last use, since its status change time lies before it.
    std::int64_t base_ = 0;
    cTidyfold engine_;
    Recorder events_;
};

}  // namespace tidyfold::test
