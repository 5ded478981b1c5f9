// What the result box and the command line say after a Desktop clean: the
// files processed, where they went, and how far a stopped pass came.

#include <gtest/gtest.h>

#include "engine/Passes.h"
#include "engine/Yield.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::test {
namespace {

enum class StopAt { Never, Scan, ThirdTransfer, Unpacked };

class Result : public EngineTest {
protected:
    // Runs Clean Desktop as the window does, pressing Stop at the moment
    // named.
    std::vector<std::string> CleanDesktop(StopAt stop) {
        cTidyfold engine;
        engine.SetClock([&] { return base_ + kDay; });
        Recorder events;
        engine.Connect(&events);
        // The second file's transfer runs to its end; the loop sees the stop
        // before the third.
        events.onMoving = [&](const std::string&) {
            if (stop == StopAt::ThirdTransfer && events.moving.size() == 2)
                engine.Cancel(kTrue);
        };
        SetYieldHook([&] {
            if (stop == StopAt::Scan || stop == StopAt::Unpacked)
                engine.Cancel(kTrue);
        });
        cOptions options;
        const PassResult result = RunOperation(engine, options, Operation::CleanDesktop);
        SetYieldHook(nullptr);
        return ResultLines(result);
    }
};

TEST_F(Result, the_box_says_how_many_files_went_where_or_how_far_a_stopped_pass_came) {
    const struct {
        const char* name;
        int mode;
        StopAt stop;
        std::vector<std::string> lines;
        std::size_t leftOnDesktop;
    } cases[] = {
        {"copy", 0, StopAt::Never, {"Desktop Cleaning Complete!", "5 files processed.", "Offload folder: OFFLOAD"}, 0},
        {"move", 1, StopAt::Never, {"Desktop Cleaning Complete!", "5 files processed.", "Offload folder: OFFLOAD"}, 0},
        {"delete", 2, StopAt::Never, {"Desktop Cleaning Complete!", "5 files processed.", "Files were deleted."}, 0},
        {"trash", 3, StopAt::Never,
         {"Desktop Cleaning Complete!", "5 files processed.", "Files were sent to the Trash."}, 0},
        {"copy, stopped at the third file", 0, StopAt::ThirdTransfer,
         {"Stopped: 2 of 5 files processed.", "Offload folder: OFFLOAD"}, 3},
        {"move, stopped at the third file", 1, StopAt::ThirdTransfer,
         {"Stopped: 2 of 5 files processed.", "Offload folder: OFFLOAD"}, 3},
        // The Desktop's own files are examined, its sub-folders no longer.
        {"stopped during the scan", 0, StopAt::Scan, {"Stopped: 0 of 3 files processed."}, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(desktop_);
        RemoveTree(offload_);
        for (const char* name : {"a.txt", "b.txt", "c.txt", "d/e.txt", "d/f.txt"})
            Put(name);
        Settings(c.mode);
        std::vector<std::string> lines = c.lines;
        for (std::string& line : lines) {
            if (line == "Offload folder: OFFLOAD")
                line = "Offload folder: " + offload_;
        }
        EXPECT_EQ(CleanDesktop(c.stop), lines);
        std::size_t left = 0;
        for (const auto& [path, brief] : Snapshot(desktop_))
            left += path.size() > 4 && path.compare(path.size() - 4, 4, ".txt") == 0 ? 1 : 0;
        EXPECT_EQ(left, c.leftOnDesktop);
    }
}

TEST_F(Result, a_stop_while_unpacked_folders_are_checked_runs_no_pass) {
    std::vector<ArchiveItem> items;
    for (int i = 0; i < 600; ++i)
        items.push_back({"f" + std::to_string(i), std::to_string(i)});
    for (const ArchiveItem& item : items)
        Put("Photos/" + item.path, item.data);
    WriteArchive(desktop_ + "/Photos.zip", ArchiveFormat::Tar, items);
    Put("old.txt");
    Settings(1);
    tmp_.SetSetting("DelUCFolders", "1");
    ArchiveList("zip,");
    const auto before = Snapshot(desktop_);
    EXPECT_EQ(CleanDesktop(StopAt::Unpacked), (std::vector<std::string>{"Stopped before any file was processed.",
                                                         "0 uncompressed folders removed"}));
    EXPECT_EQ(Snapshot(desktop_), before);
}

}  // namespace
}  // namespace tidyfold::test
