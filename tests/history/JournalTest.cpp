// The journal: what a pass records, when it is durable, and what a failed
// write of the history does.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "base/Error.h"
#include "history/Owner.h"
#include "history/Sqlite.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/Unprivileged.h"

namespace tidyfold::test {
namespace {

using history::ActionOutcome;
using history::PassEnding;
using history::PassRecorder;
using fs::fault::Call;

std::int64_t CountActions(const history::History& h, std::int64_t pass, ActionOutcome outcome) {
    std::int64_t count = 0;
    for (const auto& action : h.Actions(pass))
        count += action.outcome == outcome ? 1 : 0;
    return count;
}

TEST_F(HistoryTest, records_a_pass_and_its_actions_byte_for_byte) {
    auto pass = Begin();
    std::vector<JournalEntry> entries{Entry("top.txt"), Entry("a/b\\c \xff\n.bin", JournalAction::CopyThenDelete),
                                      Entry("gone.txt", JournalAction::Delete)};
    entries[1].kind = fs::EntryKind::Link;
    std::int64_t first = 0;
    ASSERT_EQ(pass->Intend(entries, first), 3u);
    pass->Record(first, {JournalOutcome::Done, "", ""});
    pass->Record(first + 1, {JournalOutcome::Done, "a/b\\c \xff\n (2).bin", ""});
    pass->Record(first + 2, {JournalOutcome::Failed, "", "Permission denied"});
    now_ += 5;
    pass->End(PassEnding::Completed);

    auto other = Reopen();
    const auto passes = other->Passes();
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].kind, history::PassKind::CleanDesktop);
    EXPECT_EQ(passes[0].mode, 1);
    EXPECT_EQ(passes[0].desktop, dir_ / "Desktop");
    EXPECT_EQ(passes[0].ending, PassEnding::Completed);
    EXPECT_EQ(passes[0].started, now_ - 5);
    EXPECT_EQ(passes[0].ended, now_);
    EXPECT_EQ(passes[0].actions, 3);
    EXPECT_EQ(passes[0].done, 2);
    EXPECT_EQ(passes[0].notDone, 1);
    EXPECT_EQ(Restorable(passes[0].id), 2);

    const auto actions = other->Actions(passes[0].id);
    ASSERT_EQ(actions.size(), 3u);
    for (std::size_t i = 0; i < actions.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actions[i].relative, entries[i].relative);
        EXPECT_EQ(actions[i].entry, entries[i].kind);
        EXPECT_EQ(actions[i].id_seen, entries[i].id);
        EXPECT_EQ(actions[i].size, entries[i].size);
        EXPECT_EQ(actions[i].times.access_ns, entries[i].times.access_ns);
        EXPECT_EQ(actions[i].times.modify_ns, entries[i].times.modify_ns);
        EXPECT_EQ(actions[i].times.change_ns, entries[i].times.change_ns);
        EXPECT_EQ(actions[i].mode, entries[i].mode);
    }
    EXPECT_EQ(actions[0].destination, "top.txt");
    EXPECT_EQ(actions[1].destination, "a/b\\c \xff\n (2).bin");
    EXPECT_EQ(actions[1].kind, history::ActionKind::CopyThenDelete);
    EXPECT_EQ(actions[2].outcome, ActionOutcome::Failed);
    EXPECT_EQ(actions[2].note, "Permission denied");
    EXPECT_TRUE(actions[2].CannotBeUndone());
    EXPECT_TRUE(actions[1].CanRestore());
}

TEST_F(HistoryTest, intents_are_durable_before_they_are_carried_out_and_outcomes_ride_with_the_next_batch) {
    auto pass = Begin();
    const auto entries = Entries(PassRecorder::kBatch + 10);
    auto other = Reopen();
    JournalQueue queue(pass.get(), entries);

    const std::int64_t first = queue.Before(0);
    EXPECT_EQ(CountActions(*other, pass->Id(), ActionOutcome::Pending), std::int64_t(PassRecorder::kBatch));
    queue.After(first, {JournalOutcome::Done, "", ""});
    EXPECT_EQ(queue.Before(PassRecorder::kBatch - 1), first + std::int64_t(PassRecorder::kBatch) - 1);
    EXPECT_EQ(CountActions(*other, pass->Id(), ActionOutcome::Done), 0) << "an outcome alone costs no flush";

    EXPECT_EQ(queue.Before(PassRecorder::kBatch), first + std::int64_t(PassRecorder::kBatch));
    EXPECT_EQ(CountActions(*other, pass->Id(), ActionOutcome::Done), 1);
    EXPECT_EQ(CountActions(*other, pass->Id(), ActionOutcome::Pending), std::int64_t(entries.size()) - 1);

    queue.After(first + 1, {JournalOutcome::Skipped, "", "used since the scan"});
    queue.Flush();
    EXPECT_EQ(CountActions(*other, pass->Id(), ActionOutcome::Skipped), 1);
}

TEST_F(HistoryTest, without_a_journal_the_queue_does_nothing) {
    const auto entries = Entries(3);
    JournalQueue queue(nullptr, entries);
    EXPECT_EQ(queue.Before(0), 0);
    queue.After(0, {});
    queue.Flush();
    EXPECT_TRUE(history_->Passes().empty());
}

// Every write, sync, truncation and open of the history at every use in a
// short pass fails in turn: the step throws a system error naming the
// history and the errno, a batch is recorded whole or not at all, and the
// next try without the fault goes on.
TEST_F(HistoryTest, every_failing_write_of_the_history_stops_the_step_with_its_errno) {
    struct Step {
        const char* name;
        std::function<void(PassRecorder&, std::int64_t first)> run;
    };
    const auto batch = Entries(3);
    const std::vector<Step> steps{
        {"intend", [&](PassRecorder& p, std::int64_t) { std::int64_t f = 0; p.Intend(batch, f); }},
        {"flush", [&](PassRecorder& p, std::int64_t) { p.Flush(); }},
        {"end", [&](PassRecorder& p, std::int64_t) { p.End(PassEnding::Completed); }},
    };
    const int errnos[] = {ENOSPC, EIO, EROFS};
    int runs = 0, rotation = 0;
    for (const Step& step : steps) {
        for (Call call : {Call::HistoryOpen, Call::HistoryWrite, Call::HistorySync, Call::HistoryTruncate}) {
            for (long use = 1;; ++use) {
                SCOPED_TRACE(std::string(step.name) + " " + std::string(fs::fault::Name(call)) + " use " +
                             std::to_string(use));
                auto pass = Begin();
                std::int64_t first = 0;
                pass->Intend(batch, first);
                for (std::int64_t id = first; id < first + std::int64_t(batch.size()); ++id)
                    pass->Record(id, {JournalOutcome::Done, "", ""});
                const std::size_t before = history_->Actions(pass->Id()).size();
                const int errnum = errnos[rotation++ % 3];
                fs::fault::Reset();
                fs::fault::Inject(call, errnum, static_cast<int>(use));
                int thrown = 0;
                try {
                    step.run(*pass, first);
                } catch (const Error& error) {
                    thrown = error.Number();
                    EXPECT_EQ(error.Operation(), "cannot write the history");
                    EXPECT_EQ(error.Path(), DbPath());
                }
                const bool reached = fs::fault::Uses(call) >= use;
                fs::fault::Reset();
                if (!reached) {
                    EXPECT_EQ(thrown, 0);
                    break;
                }
                ++runs;
                EXPECT_EQ(thrown, errnum);
                const std::size_t after = Reopen()->Actions(pass->Id()).size();
                EXPECT_TRUE(after == before || after == before + batch.size()) << after;
                // The step goes through once the fault is gone.
                EXPECT_NO_THROW(step.run(*pass, first));
            }
        }
    }
    EXPECT_GT(runs, 6) << "the steps write and sync the history";
}

// The errno named is the real cause, not that of SQLite's read-only retry.
int OpenErrno(const std::string& path) {
    try {
        history::History other(path);
        return 0;
    } catch (const Error& error) {
        EXPECT_EQ(error.Operation(), "cannot open the history");
        return error.Number();
    }
}

TEST_F(HistoryTest, a_history_that_cannot_be_opened_says_why) {
    fs::fault::Inject(Call::HistoryOpen, EACCES);
    EXPECT_EQ(OpenErrno(dir_ / "state/other.sqlite"), EACCES);
    fs::fault::Reset();

    // A folder its user may not write in.
    MakeDirs(dir_ / "locked");
    ASSERT_EQ(chmod((dir_ / "locked").c_str(), 0555), 0);
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0755), 0);
    EXPECT_EQ(RunUnprivileged([&] { EXPECT_EQ(OpenErrno(dir_ / "locked/history.sqlite"), EACCES); }), 0);

    // A drive mounted read-only.
    MakeDirs(dir_ / "readonly");
    if (mount("tmpfs", (dir_ / "readonly").c_str(), "tmpfs", MS_RDONLY, nullptr) != 0) {
        GTEST_SKIP() << "cannot mount a read-only tmpfs here: " << SystemErrorText(errno);
    }
    EXPECT_EQ(OpenErrno(dir_ / "readonly/history.sqlite"), EROFS);
    umount((dir_ / "readonly").c_str());
}

TEST_F(HistoryTest, a_history_written_by_a_newer_tidyfold_is_left_alone) {
    history_->Db().Execute("PRAGMA user_version = 99");
    try {
        Reopen();
        ADD_FAILURE() << "opened";
    } catch (const Error& error) {
        EXPECT_EQ(error.What(), Error::Kind::Refused);
    }
}

TEST_F(HistoryTest, the_history_lives_in_the_state_folder) {
    struct Case {
        const char* state;  // nullptr: unset
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/var/state", "/home/ann", "/var/state/tidyfold/history.sqlite"},
        {"/var/state/", "/home/ann", "/var/state/tidyfold/history.sqlite"},
        {"relative/state", "/home/ann", "/home/ann/.local/state/tidyfold/history.sqlite"},
        {nullptr, "/home/ann/", "/home/ann/.local/state/tidyfold/history.sqlite"},
        {"", "/", "/.local/state/tidyfold/history.sqlite"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EnvGuard env;
        if (c.state != nullptr)
            env.Set("XDG_STATE_HOME", c.state);
        else
            env.Unset("XDG_STATE_HOME");
        env.Set("HOME", c.home);
        EXPECT_EQ(history::History::DefaultPath(), c.expected);
    }
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777u : 0u;
}

TEST_F(HistoryTest, its_folders_are_made_at_the_first_start_private_and_through_a_linked_state_folder) {
    // A home whose ~/.local/state is a link to a folder elsewhere.
    MakeDirs(dir_ / "dotfiles/state");
    MakeDirs(dir_ / "linked/.local");
    ASSERT_EQ(symlink((dir_ / "dotfiles/state").c_str(), (dir_ / "linked/.local/state").c_str()), 0);
    struct Case {
        const char* state;  // XDG_STATE_HOME; nullptr for unset
        std::string home;
        std::string made;  // the history's folder, made by the first start
    };
    const Case cases[] = {
        {"new/state", "/nonexistent", ""},
        {nullptr, dir_ / "linked", dir_ / "dotfiles/state/tidyfold"},
    };
    for (const Case& c : cases) {
        EnvGuard env;
        const std::string state = c.state != nullptr ? dir_ / c.state : std::string();
        SCOPED_TRACE(c.state != nullptr ? state : c.home);
        if (c.state != nullptr)
            env.Set("XDG_STATE_HOME", state);
        else
            env.Unset("XDG_STATE_HOME");
        env.Set("HOME", c.home);
        auto opened = history::History::OpenDefault();
        EXPECT_TRUE(Exists(opened->Path()));
        const std::string made = c.made.empty() ? state + "/tidyfold" : c.made;
        EXPECT_EQ(ModeOf(made), 0700u);
        if (c.state != nullptr) {
            EXPECT_EQ(ModeOf(state), 0700u);
        }
    }
}

TEST_F(HistoryTest, a_pass_belongs_to_a_running_program_only_while_it_runs) {
    const std::string self = history::ThisProgram();
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(history::StillRunning(self));
    // The same pid with another start time is another program.
    EXPECT_FALSE(history::StillRunning(self + "0"));
    EXPECT_FALSE(history::StillRunning(self.substr(0, self.rfind(':')) + ":1"));
    EXPECT_FALSE(history::StillRunning("garbage"));
    EXPECT_FALSE(history::StillRunning(""));
}

}  // namespace
}  // namespace tidyfold::test
