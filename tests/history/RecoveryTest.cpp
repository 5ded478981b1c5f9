// Recovery: a pass that never ended is reconciled with what is on the disk.

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "fs/Temp.h"
#include "history/Restore.h"
#include "tests/history/HistoryFixture.h"

namespace tidyfold::test {
namespace {

using history::ActionOutcome;

void Rename(const std::string& from, const std::string& to) {
    MakeDirs(to.substr(0, to.rfind('/')));
    ASSERT_EQ(rename(from.c_str(), to.c_str()), 0) << from;
}

void TimesLike(const std::string& from, const std::string& to) {
    struct stat st {};
    ASSERT_EQ(lstat(from.c_str(), &st), 0);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// Copies the bytes and the modification time, as the engine's copy does.
void CopyKeepingTime(const std::string& from, const std::string& to) {
    WriteFile(to, ReadFile(from));
    TimesLike(from, to);
}

TEST_F(HistoryTest, recovery_marks_each_unfinished_action_from_what_is_on_the_disk) {
    struct Case {
        const char* what;
        JournalAction action;
        // What the kill left, from the Desktop file d and its destination o.
        std::function<void(const std::string& d, const std::string& o)> left;
        ActionOutcome outcome;
        bool onDesktop;
        bool inOffload;
        const char* note = "";
    };
    const std::vector<Case> cases = {
        {"move not begun", JournalAction::Move, [](auto&, auto&) {}, ActionOutcome::Interrupted, true, false},
        {"moved", JournalAction::Move, [](auto& d, auto& o) { Rename(d, o); }, ActionOutcome::Done, false, true},
        {"copy in place, original still there", JournalAction::CopyThenDelete,
         [](auto& d, auto& o) { CopyKeepingTime(d, o); }, ActionOutcome::Done, false, true, "Finished"},
        {"move across file systems: copy in place, original still there", JournalAction::Move,
         [](auto& d, auto& o) { CopyKeepingTime(d, o); }, ActionOutcome::Done, false, true, "Finished"},
        {"another file under the destination's name", JournalAction::CopyThenDelete,
         [](auto& d, auto& o) {
             // Same size and time: only the bytes tell them apart.
             WriteFile(o, std::string(ReadFile(d).size(), '#'));
             TimesLike(d, o);
         },
         ActionOutcome::Interrupted, true, true, "Another file"},
        {"gone from both places", JournalAction::Move, [](auto& d, auto&) { std::remove(d.c_str()); },
         ActionOutcome::Interrupted, false, false, "neither place"},
        {"deleted", JournalAction::Delete, [](auto& d, auto&) { std::remove(d.c_str()); }, ActionOutcome::Done, false,
         false},
        {"delete not begun", JournalAction::DeleteEmptyFile, [](auto&, auto&) {}, ActionOutcome::Interrupted, true,
         false},
        {"a new file saved under the deleted one's name", JournalAction::Delete,
         [](auto& d, auto&) { WriteFile(d + ".new", "new"); Rename(d + ".new", d); }, ActionOutcome::Done, true,
         false},
    };
    std::vector<JournalEntry> entries;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string relative = "case " + std::to_string(i) + "/f.txt";
        WriteFile(Desktop() + "/" + relative, "contents of case " + std::to_string(i));
        entries.push_back(Seen(relative, cases[i].action));
    }
    for (std::size_t i = 0; i < cases.size(); ++i)
        cases[i].left(Desktop() + "/" + entries[i].relative, Offload() + "/" + entries[i].relative);
    const std::int64_t pass = Killed(entries);

    const auto recovered = history_->Recover();
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].pass, pass);
    EXPECT_EQ(recovered[0].finished, 2);
    EXPECT_EQ(history_->Pass(pass)->ending, history::PassEnding::Interrupted);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        const history::ActionRecord action = ActionAt(pass, entries[i].relative);
        EXPECT_EQ(action.outcome, cases[i].outcome);
        EXPECT_NE(action.note.find(cases[i].note), std::string::npos) << action.note;
        EXPECT_EQ(Exists(Desktop() + "/" + entries[i].relative), cases[i].onDesktop);
        EXPECT_EQ(Exists(Offload() + "/" + entries[i].relative), cases[i].inOffload);
    }
    EXPECT_TRUE(history_->Recover().empty()) << "a pass is recovered once";
}

TEST_F(HistoryTest, recovery_removes_only_the_temporary_files_its_unfinished_copies_may_have_left) {
    WriteFile(Desktop() + "/a/report.pdf", "report");
    WriteFile(Desktop() + "/a/done.pdf", "done");
    const std::vector<JournalEntry> entries{Seen("a/report.pdf", JournalAction::CopyThenDelete)};
    const std::string left = Offload() + "/a/" + fs::TempNameFor("report.pdf", "k1ll3d");
    const std::vector<std::string> kept{Offload() + "/a/" + fs::TempNameFor("other.pdf", "abcdef"),
                                        Offload() + "/b/" + fs::TempNameFor("report.pdf", "abcdef"),
                                        Desktop() + "/a/" + fs::TempNameFor("report.pdf", "abcdef")};
    WriteFile(left, "partial");
    for (const std::string& path : kept)
        WriteFile(path, "not ours");
    Killed(entries);

    const auto recovered = history_->Recover();
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].temporaries, 1);
    EXPECT_FALSE(Exists(left));
    for (const std::string& path : kept)
        EXPECT_TRUE(Exists(path)) << path;
    EXPECT_EQ(ReadFile(Desktop() + "/a/report.pdf"), "report");
}

// An Undo killed while it made things again: what has its name is done (each
// is made in one step, an unpacking renamed into place whole), the rest is
// not, and an unpacking's temporary folder goes. The next Undo finishes it.
TEST_F(HistoryTest, a_killed_undo_that_was_making_folders_and_files_again_is_recovered) {
    MakeDirs(Desktop() + "/Empty");
    WriteFile(Desktop() + "/blank.txt", "");
    WriteFile(Desktop() + "/Photos/a.jpg", "a");
    std::vector<JournalEntry> entries{Seen("Empty", JournalAction::RemoveEmptyFolder),
                                      Seen("blank.txt", JournalAction::DeleteEmptyFile),
                                      Seen("Photos", JournalAction::RemoveUnpackedFolder)};
    entries[2].archive = ArchiveSeen{"Photos.zip", 3, 0};
    for (const char* gone : {"/Empty", "/blank.txt", "/Photos"})
        RemoveTree(Desktop() + gone);
    const std::int64_t pass = Completed(entries);
    std::vector<history::Intent> intents;
    for (const history::ActionRecord& action : history_->Actions(pass))
        intents.push_back({history::ActionKind::Restore, entries[intents.size()], action.id});
    {
        auto undo = history_->Begin({history::PassKind::Undo, std::nullopt, Desktop(), Offload(), pass});
        std::int64_t first = 0;
        undo->IntendRestores(intents, first);
    }  // killed: no outcome
    MakeDirs(Desktop() + "/Empty");
    const std::string unpacking = Desktop() + "/" + fs::TempNameFor("Photos", "k1ll3d");
    const std::string notOurs = Desktop() + "/" + fs::TempNameFor("Other", "abcdef");
    WriteFile(unpacking + "/a.jpg", "a");
    WriteFile(notOurs + "/x", "x");

    const auto recovered = history_->Recover();
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].done, 1);
    EXPECT_EQ(recovered[0].notDone, 2);
    EXPECT_EQ(recovered[0].temporaries, 1);
    EXPECT_FALSE(Exists(unpacking));
    EXPECT_TRUE(Exists(notOurs + "/x"));
    EXPECT_EQ(ActionAt(pass, "Empty").restoredBy, recovered[0].pass);
    EXPECT_EQ(Restorable(pass), 2);  // the file and the unpacked folder
    const history::RestoreResult again = history::Restore(*history_, pass);
    EXPECT_EQ(again.restored, 1);
    EXPECT_TRUE(Exists(Desktop() + "/blank.txt"));
    EXPECT_EQ(again.notes.size(), 1u);  // no archive to unpack it from
}

TEST_F(HistoryTest, a_pass_still_being_recorded_is_not_recovered) {
    WriteFile(Desktop() + "/x.txt", "x");
    const auto entries = std::vector<JournalEntry>{Seen("x.txt")};
    auto running = Begin();
    std::int64_t first = 0;
    running->Intend(entries, first);
    EXPECT_TRUE(history_->Recover().empty());
    EXPECT_EQ(history_->Pass(running->Id())->ending, history::PassEnding::Running);
    running.reset();
    EXPECT_EQ(history_->Recover().size(), 1u);
    EXPECT_EQ(history_->Pass(first > 0 ? history_->Passes()[0].id : 0)->ending, history::PassEnding::Interrupted);
}

TEST_F(HistoryTest, a_pass_that_ended_in_the_middle_of_an_action_has_it_settled_from_the_disk) {
    WriteFile(Desktop() + "/Photos/a.jpg", "a");
    JournalEntry folder = Seen("Photos", JournalAction::RemoveUnpackedFolder);
    auto pass = Begin();
    std::int64_t first = 0;
    pass->Intend(std::vector<JournalEntry>{folder}, first);
    // The removal failed half-way and the error ended the pass.
    pass->End(history::PassEnding::Failed, "Permission denied");
    const auto action = history_->Actions(pass->Id())[0];
    EXPECT_EQ(action.outcome, ActionOutcome::Interrupted);
    EXPECT_NE(action.note.find("part of its contents"), std::string::npos);
    EXPECT_EQ(history_->Pass(pass->Id())->ending, history::PassEnding::Failed);
}

TEST_F(HistoryTest, a_path_that_leaves_the_folders_of_the_pass_is_never_acted_on) {
    WriteFile(dir_ / "outside.txt", "outside");
    WriteFile(Desktop() + "/keep.txt", "keep");
    JournalEntry escape = Seen("keep.txt", JournalAction::CopyThenDelete);
    escape.relative = "../outside.txt";
    escape.destination = "../outside.txt";
    const std::int64_t pass = Killed({escape});
    history_->Recover();
    EXPECT_EQ(history_->Actions(pass)[0].outcome, ActionOutcome::Interrupted);
    EXPECT_EQ(ReadFile(dir_ / "outside.txt"), "outside");
}

}  // namespace
}  // namespace tidyfold::test
