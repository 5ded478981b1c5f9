// One pass through the runner: how far it came, how it ended and what the
// history says of it, whether it ran to its end, was stopped, or lost its
// history part-way.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "engine/Yield.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "history/PassRunner.h"
#include "history/Sqlite.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::test {
namespace {

enum class StopAt { Never, Scan, ThirdTransfer, Unpacked, ThirdCopy };

class Runner : public EngineTest {
protected:
    // Runs Clean Desktop as the front ends do, asking to stop at the moment
    // named.
    PassReport CleanDesktop(StopAt stop, history::PassRunner& runner) {
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
        std::size_t yields = 0;
        SetYieldHook([&] {
            if (stop == StopAt::Scan || stop == StopAt::Unpacked)
                engine.Cancel(kTrue);
            // As a signal does: the flag alone, in the middle of a copy.
            if (stop == StopAt::ThirdCopy && events.moving.size() == 3 && ++yields == 2)
                *engine.StopFlag() = 1;
        });
        PassReport report = runner.Run(engine, Operation::CleanDesktop);
        SetYieldHook(nullptr);
        return report;
    }
    PassReport CleanDesktop(StopAt stop) {
        history::PassRunner runner(history::PassOrigin::Window);
        return CleanDesktop(stop, runner);
    }
    std::size_t LeftOnDesktop() {
        std::size_t left = 0;
        for (const auto& [path, brief] : Snapshot(desktop_))
            left += path.size() > 4 && path.compare(path.size() - 4, 4, ".txt") == 0 ? 1 : 0;
        return left;
    }
    static history::PassRecord LastPass() {
        return history::History::OpenDefault()->Passes(1).at(0);
    }
};

TEST_F(Runner, a_pass_says_how_far_it_came_and_the_history_agrees) {
    const struct {
        const char* name;
        int mode;
        StopAt stop;
        Ending ending;
        std::int32_t collected, processed, done;
        std::size_t leftOnDesktop;
    } cases[] = {
        {"copy", 0, StopAt::Never, Ending::Completed, 5, 5, 5, 0},
        {"move", 1, StopAt::Never, Ending::Completed, 5, 5, 5, 0},
        {"delete", 2, StopAt::Never, Ending::Completed, 5, 5, 5, 0},
        {"trash", 3, StopAt::Never, Ending::Completed, 5, 5, 5, 0},
        {"copy, stopped at the third file", 0, StopAt::ThirdTransfer, Ending::Stopped, 5, 2, 2, 3},
        {"move, stopped at the third file", 1, StopAt::ThirdTransfer, Ending::Stopped, 5, 2, 2, 3},
        // A copy cut short is a stop: not processed, not failed, on the Desktop.
        {"copy, stopped in the third copy", 0, StopAt::ThirdCopy, Ending::Stopped, 5, 2, 2, 3},
        // The Desktop's own files are examined, its sub-folders no longer.
        {"stopped during the scan", 0, StopAt::Scan, Ending::Stopped, 3, 0, 0, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(desktop_);
        RemoveTree(offload_);
        for (const char* name : {"a.txt", "b.txt", "c.txt", "d/e.txt", "d/f.txt"})
            Put(name, std::string(c.stop == StopAt::ThirdCopy ? 3 << 20 : 4, 'x'));
        Settings(c.mode);
        const PassReport report = CleanDesktop(c.stop);
        EXPECT_EQ(report.ending, c.ending);
        EXPECT_EQ(report.collected, c.collected);
        EXPECT_EQ(report.processed, c.processed);
        EXPECT_EQ(report.Transfers(JournalOutcome::Done), c.done);
        EXPECT_TRUE(report.Failures().empty());
        EXPECT_EQ(LeftOnDesktop(), c.leftOnDesktop);
        const history::PassRecord pass = LastPass();
        EXPECT_EQ(pass.id, report.pass);
        EXPECT_EQ(pass.ending, history::EndingOf(report));
        EXPECT_EQ(pass.collected, c.collected);
        EXPECT_EQ(pass.processed, c.processed);
        EXPECT_EQ(pass.done, report.Changes());
        EXPECT_EQ(pass.origin, history::PassOrigin::Window);
        // No half-written copy stays behind a stop.
        for (const auto& [path, brief] : Snapshot(offload_))
            EXPECT_EQ(path.find(".tidyfold"), std::string::npos) << path;
    }
}

TEST_F(Runner, a_stop_while_unpacked_folders_are_checked_runs_no_pass) {
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
    const PassReport report = CleanDesktop(StopAt::Unpacked);
    EXPECT_EQ(report.ending, Ending::Stopped);
    EXPECT_TRUE(report.unpackedStep);
    EXPECT_EQ(report.collected, 0);
    EXPECT_EQ(Snapshot(desktop_), before);
}

// Another program holds the history's write lock while a pass runs: the
// pass stops before a change the history cannot record, and its end is
// written once the lock is let go; a pass that did its work is never told
// as one that could not run.
TEST_F(Runner, a_lock_on_the_history_in_the_middle_of_a_pass) {
    const struct {
        const char* name;
        std::size_t files;
        std::size_t lockAt;     // the file whose move takes the lock
        int heldMs;             // -1: until the pass has returned
        Ending ending;
        std::int32_t processed;
        bool unrecorded;
    } cases[] = {
        // The intents of all files are written before the first move: only
        // the end meets the lock, and waits it out.
        {"released while the end waits", 300, 100, 700, Ending::Completed, 300, false},
        // The next batch's intents cannot be written: the pass stops there.
        {"held over the next batch", history::PassRecorder::kBatch + 4, 4000, 700, Ending::Failed,
         static_cast<std::int32_t>(history::PassRecorder::kBatch), false},
        {"never released", 300, 100, -1, Ending::Completed, 300, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(desktop_);
        RemoveTree(offload_);
        // On the Desktop itself: no folder is left empty, so the end is the
        // only write after the intents.
        for (std::size_t i = 0; i < c.files; ++i)
            Put(std::to_string(i) + ".txt", "");
        Settings(1);
        std::unique_ptr<history::History> history = history::History::OpenDefault();
        history->SetBusyWait(100);
        history::PassRunner runner(history::PassOrigin::CommandLine, history.get());
        runner.SetEndTries(c.heldMs < 0 ? 2 : 30);

        cTidyfold engine;
        engine.SetClock([&] { return base_ + kDay; });
        Recorder events;
        engine.Connect(&events);
        std::unique_ptr<history::Database> other;
        std::thread release;
        events.onMoving = [&](const std::string&) {
            if (events.moving.size() != c.lockAt)
                return;
            other = std::make_unique<history::Database>(history->Path());
            other->Execute("BEGIN EXCLUSIVE");
            if (c.heldMs >= 0)
                release = std::thread([&, ms = c.heldMs] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                    other->Execute("COMMIT");
                });
        };
        const PassReport report = runner.Run(engine, Operation::CleanDesktop);
        if (release.joinable())
            release.join();
        else
            other->Execute("COMMIT");

        EXPECT_EQ(report.ending, c.ending);
        EXPECT_EQ(report.collected, static_cast<std::int32_t>(c.files));
        EXPECT_EQ(report.processed, c.processed);
        EXPECT_FALSE(report.CouldNotRun());
        EXPECT_EQ(report.unrecorded.has_value(), c.unrecorded);
        if (c.ending == Ending::Failed) {
            ASSERT_TRUE(report.error);
            EXPECT_TRUE(report.error->IsSystem(EBUSY)) << report.error->what();
        }
        EXPECT_EQ(LeftOnDesktop(), c.files - static_cast<std::size_t>(c.processed));
        // Once the lock is gone the history tells the same story; a pass
        // whose end could not be written is found again at the next start.
        const std::optional<history::PassRecord> pass = history->Pass(report.pass);
        ASSERT_TRUE(pass);
        if (c.unrecorded) {
            history->Recover();
            EXPECT_EQ(history->Pass(report.pass)->ending, history::PassEnding::Interrupted);
            EXPECT_EQ(history->Pass(report.pass)->done, 300);
        } else {
            EXPECT_EQ(pass->ending, history::EndingOf(report));
            EXPECT_EQ(pass->processed, c.processed);
            EXPECT_EQ(pass->done, c.processed);
        }
        other.reset();
    }
}

}  // namespace
}  // namespace tidyfold::test
