// The engine and its journal: every change recorded before it is made and
// its outcome after; a journal that cannot be written stops the pass before
// the next file. The plan: what Clean Desktop would do, found touching
// nothing, and carried out whole or in part, each entry looked at again.

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <map>

#include "base/Error.h"
#include "history/History.h"
#include "history/PassRecorder.h"
#include "history/Restore.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::test {
namespace {

// A journal that checks, at each intent, that the entry is still where the
// scan found it (not yet carried out), and can refuse to record.
class Spy : public PassJournal {
public:
    explicit Spy(std::string desktop) : desktop_(std::move(desktop)) {}

    void Folders(const std::string& desktop, const std::string&) override { folders = desktop; }
    std::size_t Intend(std::span<const JournalEntry> upcoming, std::int64_t& first) override {
        if (refuseAfter >= 0 && static_cast<int>(intents.size()) >= refuseAfter)
            throw Error::System(ENOSPC, "cannot write the history", "spy");
        const JournalEntry& entry = upcoming.front();
        EXPECT_TRUE(Exists(desktop_ + "/" + entry.relative)) << "carried out before it was recorded: "
                                                             << entry.relative;
        intents.push_back(entry);
        first = static_cast<std::int64_t>(intents.size());
        return 1;  // one at a time, so that every entry is checked
    }
    void Record(std::int64_t id, const JournalResult& result) override { outcomes.emplace_back(id, result); }
    void Flush() override {}

    std::string folders;
    std::vector<JournalEntry> intents;
    std::vector<std::pair<std::int64_t, JournalResult>> outcomes;
    int refuseAfter = -1;

private:
    std::string desktop_;
};

class JournalPlanTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ArchiveList("zip,");
    }

    // The settings with the unpacked-folder and null-file options on.
    void SettingsWithOptions(int copyAction) {
        WriteFile(app_ + "/settings.ini", "[TYFL]\nTimelimit=7\nCopyAction=" + std::to_string(copyAction) +
                                              "\nTrashPath=" + offload_ + "\nDelUCFolders=1\nDelNullFiles=1\n");
    }

    // A Desktop with something for each kind of change.
    void MakeDesktop() {
        Put("top.txt", "top");
        Put("a/b/deep.txt", "deep");
        Put("a/keep/young.txt", "young");
        SetTimes(desktop_ + "/a/keep/young.txt", base_ + kDay);
        Put("empty.txt", "");
        // Its folder beside it, which the archive holds byte for byte.
        WriteArchive(desktop_ + "/Photos.zip", ArchiveFormat::Zip, {{"inside.jpg", "unpacked"}});
        SetTimes(desktop_ + "/Photos.zip", base_ + kDay);  // kept, beside its unpacked folder
        Put("Photos/inside.jpg", "unpacked");
        Dir("hollow/inner");
    }

    static std::vector<std::string> Relatives(const CleanPlan& plan, JournalAction action) {
        std::vector<std::string> found;
        for (const PlanEntry& entry : plan.entries)
            if (entry.action == action)
                found.push_back(entry.relative);
        return found;
    }
};

TEST_F(JournalPlanTest, every_change_of_a_pass_is_recorded_before_it_is_made) {
    struct Case {
        int mode;
        JournalAction transfer;
    };
    for (const Case c : {Case{0, JournalAction::CopyThenDelete}, Case{1, JournalAction::Move},
                         Case{2, JournalAction::Delete}}) {
        SCOPED_TRACE(c.mode);
        RemoveTree(desktop_);
        RemoveTree(offload_);
        MakeDesktop();
        SettingsWithOptions(c.mode);
        cTidyfold engine;
        engine.SetClock([this] { return base_ + kDay; });
        Spy spy(desktop_);
        engine.Journal(&spy);
        engine.ProcessCompressed(desktop_);
        engine.Clean();

        std::map<std::string, JournalAction> recorded;
        for (const JournalEntry& entry : spy.intents)
            recorded[entry.relative] = entry.action;
        const std::map<std::string, JournalAction> expected{
            {"Photos", JournalAction::RemoveUnpackedFolder}, {"empty.txt", JournalAction::DeleteEmptyFile},
            {"top.txt", c.transfer},                         {"a/b/deep.txt", c.transfer},
            {"a/b", JournalAction::RemoveEmptyFolder},       {"hollow/inner", JournalAction::RemoveEmptyFolder},
            {"hollow", JournalAction::RemoveEmptyFolder}};
        EXPECT_EQ(recorded, expected);
        EXPECT_EQ(spy.folders, desktop_);
        ASSERT_EQ(spy.outcomes.size(), spy.intents.size());
        for (const auto& [id, result] : spy.outcomes)
            EXPECT_EQ(result.outcome, JournalOutcome::Done) << id << " " << result.note;
        for (const JournalEntry& entry : spy.intents)
            EXPECT_EQ(entry.destination, entry.action == c.transfer && c.mode != 2 ? entry.relative : "")
                << entry.relative;
    }
}

TEST_F(JournalPlanTest, a_journal_that_cannot_be_written_stops_the_pass_before_the_next_file) {
    Settings(1);
    for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt"})
        Put(name, name);
    Spy spy(desktop_);
    spy.refuseAfter = 2;
    engine_.Journal(&spy);
    try {
        engine_.Clean();
        ADD_FAILURE() << "the pass went on";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), ENOSPC);
    }
    EXPECT_EQ(spy.outcomes.size(), 2u);
    int moved = 0;
    for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt"})
        moved += Exists(offload_ + "/" + name) ? 1 : 0;
    EXPECT_EQ(moved, 2);
}

TEST_F(JournalPlanTest, a_plan_lists_what_clean_desktop_would_do_and_touches_nothing) {
    SettingsWithOptions(0);
    MakeDesktop();
    const auto before = Snapshot(tmp_.Path());
    const CleanPlan plan = engine_.PlanClean();
    EXPECT_EQ(Snapshot(tmp_.Path()), before);
    EXPECT_EQ(plan.mode, TransferMode::CopyThenDelete);
    EXPECT_EQ(plan.desktop, desktop_);
    EXPECT_EQ(Relatives(plan, JournalAction::CopyThenDelete), (std::vector<std::string>{"top.txt", "a/b/deep.txt"}));
    EXPECT_EQ(Relatives(plan, JournalAction::DeleteEmptyFile), std::vector<std::string>{"empty.txt"});
    EXPECT_EQ(Relatives(plan, JournalAction::RemoveUnpackedFolder), std::vector<std::string>{"Photos"});
    // Deepest first; a folder keeping a young file stays, and so do those
    // above it; the unpacked folder's own file is never listed.
    EXPECT_EQ(Relatives(plan, JournalAction::RemoveEmptyFolder),
              (std::vector<std::string>{"a/b", "hollow/inner", "hollow"}));
    EXPECT_EQ(plan.entries[0].destination, "top.txt");
    EXPECT_FALSE(events_.scanning.empty()) << "the scan is shown as it goes";
}

TEST_F(JournalPlanTest, carrying_out_the_whole_plan_does_what_clean_desktop_does) {
    SettingsWithOptions(1);
    MakeDesktop();
    engine_.ProcessCompressed(desktop_);
    engine_.Clean();
    const auto cleaned = Snapshot(tmp_.Path());

    RemoveTree(desktop_);
    RemoveTree(offload_);
    MakeDesktop();
    cTidyfold planner;
    planner.SetClock([this] { return base_ + kDay; });
    const CleanPlan plan = planner.PlanClean();
    const cTidyfold::CarriedOut done = planner.CarryOut(plan, std::vector<bool>(plan.entries.size(), true));
    EXPECT_EQ(done.unpacked, 1);
    EXPECT_EQ(done.files, 2);
    EXPECT_EQ(Snapshot(tmp_.Path()), cleaned);
}

// The Preview shows a checked empty folder as going whatever else is
// checked: it goes, even when no file does.
TEST_F(JournalPlanTest, a_checked_empty_folder_goes_though_no_file_is_checked) {
    Settings(1);
    Put("old.txt", "old");
    Dir("hollow");
    const CleanPlan plan = engine_.PlanClean();
    std::vector<bool> chosen(plan.entries.size(), false);
    for (std::size_t i = 0; i < plan.entries.size(); ++i)
        chosen[i] = plan.entries[i].action == JournalAction::RemoveEmptyFolder;
    ASSERT_EQ(std::count(chosen.begin(), chosen.end(), true), 1);
    engine_.CarryOut(plan, chosen);
    EXPECT_FALSE(Exists(desktop_ + "/hollow"));
    EXPECT_TRUE(Exists(desktop_ + "/old.txt"));
}

TEST_F(JournalPlanTest, only_the_chosen_entries_are_carried_out_each_looked_at_again) {
    SettingsWithOptions(1);
    MakeDesktop();
    Put("used later.txt", "used");
    const CleanPlan plan = engine_.PlanClean();
    std::vector<bool> chosen(plan.entries.size(), true);
    for (std::size_t i = 0; i < plan.entries.size(); ++i)
        if (plan.entries[i].relative == "top.txt" || plan.entries[i].relative == "hollow/inner" ||
            plan.entries[i].relative == "Photos")
            chosen[i] = false;
    // Used after the preview: no longer old, so it stays.
    SetTimes(desktop_ + "/used later.txt", base_ + kDay);
    history::History history(tmp_ / "history.sqlite");
    auto pass = history.Begin({history::PassKind::CleanDesktop, 1, desktop_, offload_, 0});
    engine_.Journal(pass.get());
    const cTidyfold::CarriedOut done = engine_.CarryOut(plan, chosen);
    pass->End(history::PassEnding::Completed);

    EXPECT_EQ(done.unpacked, 0);
    EXPECT_TRUE(Exists(desktop_ + "/top.txt"));
    EXPECT_TRUE(Exists(desktop_ + "/Photos/inside.jpg"));
    EXPECT_TRUE(Exists(desktop_ + "/hollow/inner"));
    EXPECT_TRUE(Exists(desktop_ + "/hollow"));  // chosen, but not empty: it holds inner
    EXPECT_TRUE(Exists(desktop_ + "/used later.txt"));
    EXPECT_FALSE(Exists(desktop_ + "/a/b/deep.txt"));
    EXPECT_TRUE(Exists(offload_ + "/a/b/deep.txt"));
    std::map<std::string, history::ActionOutcome> outcomes;
    for (const history::ActionRecord& action : history.Actions(pass->Id()))
        outcomes[action.relative] = action.outcome;
    EXPECT_EQ(outcomes["used later.txt"], history::ActionOutcome::Skipped);
    EXPECT_EQ(outcomes["a/b/deep.txt"], history::ActionOutcome::Done);
    EXPECT_EQ(outcomes["hollow"], history::ActionOutcome::Skipped);
    EXPECT_EQ(outcomes.count("top.txt"), 0u);
}

// Undo of a real pass: the pass made a write-protected file writable to
// move it; it comes back as it was, bits and times.
TEST_F(JournalPlanTest, undo_of_a_pass_puts_each_file_back_as_it_was_on_the_desktop) {
    for (const int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        RemoveTree(desktop_);
        RemoveTree(offload_);
        Settings(mode);
        Put("read only.txt", "kept");
        Put("a/b/c.txt", "deep");
        ASSERT_EQ(chmod((desktop_ + "/read only.txt").c_str(), 0444), 0);
        const auto before = Snapshot(desktop_);
        history::History history(tmp_ / ("history" + std::to_string(mode) + ".sqlite"));
        auto pass = history.Begin({history::PassKind::CleanDesktop, mode, desktop_, offload_, 0});
        cTidyfold engine;
        engine.SetClock([this] { return base_ + kDay; });
        engine.Journal(pass.get());
        engine.Clean();
        pass->End(history::PassEnding::Completed);
        ASSERT_FALSE(Exists(desktop_ + "/a"));

        // The two files, and the folders a/ and a/b/ that the pass emptied
        // and removed: made again with their bits and times.
        EXPECT_EQ(history::Restore(history, pass->Id()).restored, 4);
        EXPECT_EQ(Snapshot(desktop_), before);
        // The folders Undo emptied in the offload folder went too.
        EXPECT_TRUE(Snapshot(offload_).empty());
    }
}

// Undo gives back all a pass took that something still holds: the folder
// unpacked beside its archive (unpacked again from it, once the archive is
// back), the empty folders and the empty file, with their bits and times;
// it removes the folders it empties in the offload folder. Only what it can
// make without replacing anything, and only from the archive the pass
// compared.
TEST_F(JournalPlanTest, undo_gives_back_unpacked_folders_empty_folders_and_empty_files) {
    struct Case {
        const char* what;
        int mode;
        bool youngArchive;                       // stays on the Desktop through the pass
        std::function<void()> meanwhile;  // between the pass and the Undo
        std::map<std::string, std::string> notes;         // what each restore says, where not done
    };
    const std::vector<Case> cases = {
        {"everything back", 1, false, {}, {}},
        {"copied away", 0, false, {}, {}},
        {"the archive changed", 1, true,
         [this] { SetTimes(desktop_ + "/Manuals.zip", base_ - 5); },
         {{"Manuals", "Its archive Manuals.zip has changed since the pass compared the folder with it, so it is not "
                      "unpacked from it."}}},
        {"names taken meanwhile", 1, false,
         [this] {
             WriteFile(desktop_ + "/New Folder", "a file now");
             WriteFile(desktop_ + "/untitled document.txt", "written since");
             MakeDirs(desktop_ + "/Manuals");
         },
         {{"New Folder", history::kNameTakenOnDesktop},
          {"untitled document.txt", history::kNameTakenOnDesktop},
          {"Manuals", history::kNameTakenOnDesktop}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(desktop_);
        RemoveTree(offload_);
        SettingsWithOptions(c.mode);
        Put("Manuals/guide.txt", "the guide");
        Put("Manuals/sub/part.txt", "a part");
        WriteArchive(desktop_ + "/Manuals.zip", ArchiveFormat::Zip,
                     {{"Manuals/guide.txt", "the guide"}, {"Manuals/sub/part.txt", "a part"}});
        if (c.youngArchive)
            SetTimes(desktop_ + "/Manuals.zip", base_);
        Dir("New Folder");
        Put("untitled document.txt", "");
        Put("notes/a.txt", "notes");
        ASSERT_EQ(chmod((desktop_ + "/New Folder").c_str(), 0750), 0);
        ASSERT_EQ(chmod((desktop_ + "/untitled document.txt").c_str(), 0640), 0);
        SetTimes(desktop_ + "/New Folder", base_ - 30 * kDay);
        SetTimes(desktop_ + "/untitled document.txt", base_ - 30 * kDay);
        struct stat folderBefore {}, fileBefore {};
        ASSERT_EQ(stat((desktop_ + "/New Folder").c_str(), &folderBefore), 0);
        ASSERT_EQ(stat((desktop_ + "/untitled document.txt").c_str(), &fileBefore), 0);

        history::History history(tmp_ / (std::string("history ") + c.what + ".sqlite"));
        auto pass = history.Begin({history::PassKind::CleanDesktop, c.mode, desktop_, offload_, 0});
        cTidyfold engine;
        engine.SetClock([this] { return base_ + kDay; });
        engine.Journal(pass.get());
        engine.ProcessCompressed(desktop_);
        engine.Clean();
        pass->End(history::PassEnding::Completed);
        for (const char* gone : {"/Manuals", "/New Folder", "/untitled document.txt", "/notes"})
            ASSERT_FALSE(Exists(desktop_ + gone)) << gone;
        if (c.meanwhile)
            c.meanwhile();
        const auto before = Snapshot(desktop_);

        const history::RestoreResult undone = history::Restore(history, pass->Id());
        std::map<std::string, std::string> notes;
        for (const ReportEntry& entry : undone.entries)
            if (entry.outcome != JournalOutcome::Done)
                notes[entry.relative] = entry.reason;
        EXPECT_EQ(notes, c.notes);
        if (!c.notes.empty()) {
            // What was there stays as it was; the rest came back.
            const auto after = Snapshot(desktop_);
            for (const auto& [relative, brief] : before) {
                if (c.notes.count(relative.substr(0, relative.find('/'))) != 0) {
                    ASSERT_EQ(after.count(relative), 1u) << relative;
                    EXPECT_EQ(after.at(relative), brief) << relative;
                }
            }
            continue;
        }
        EXPECT_EQ(ReadFile(desktop_ + "/Manuals/guide.txt"), "the guide");
        EXPECT_EQ(ReadFile(desktop_ + "/Manuals/sub/part.txt"), "a part");
        EXPECT_EQ(ReadFile(desktop_ + "/Manuals.zip").empty(), false);
        EXPECT_EQ(ReadFile(desktop_ + "/notes/a.txt"), "notes");
        struct stat folder {}, file {};
        ASSERT_EQ(stat((desktop_ + "/New Folder").c_str(), &folder), 0);
        ASSERT_EQ(stat((desktop_ + "/untitled document.txt").c_str(), &file), 0);
        EXPECT_TRUE(S_ISDIR(folder.st_mode));
        EXPECT_EQ(folder.st_mode & 07777, 0750u);
        EXPECT_EQ(folder.st_mtim.tv_sec, folderBefore.st_mtim.tv_sec);
        EXPECT_TRUE(S_ISREG(file.st_mode));
        EXPECT_EQ(file.st_size, 0);
        EXPECT_EQ(file.st_mode & 07777, 0640u);
        EXPECT_EQ(file.st_mtim.tv_sec, fileBefore.st_mtim.tv_sec);
        EXPECT_EQ(file.st_mtim.tv_nsec, fileBefore.st_mtim.tv_nsec);
        // The folders it emptied in the offload folder went; the folder itself stays.
        EXPECT_TRUE(Snapshot(offload_).empty());
        EXPECT_TRUE(Exists(offload_));
        EXPECT_GE(undone.emptiedFolders, 1);
        // Nothing of it is left to give back.
        for (const history::ActionRecord& action : history.Actions(pass->Id()))
            EXPECT_FALSE(action.CanRestore()) << action.relative;
    }
}

// In the delete mode the files that had content are gone for good; their
// rows say so, and the rest comes back.
TEST_F(JournalPlanTest, undo_after_the_delete_mode_gives_back_all_but_deleted_content) {
    Settings(2);
    Put("notes/a.txt", "notes");
    Put("blank.txt", "");
    const auto before = Snapshot(desktop_);
    history::History history(tmp_ / "history.sqlite");
    auto pass = history.Begin({history::PassKind::CleanDesktop, 2, desktop_, offload_, 0});
    engine_.SetClock([this] { return base_ + kDay; });
    engine_.Journal(pass.get());
    engine_.Clean();
    pass->End(history::PassEnding::Completed);
    std::map<std::string, bool> cannot;
    for (const history::ActionRecord& action : history.Actions(pass->Id()))
        cannot[action.relative] = action.CannotBeUndone();
    const std::map<std::string, bool> expected{{"notes/a.txt", true}, {"blank.txt", false}, {"notes", false}};
    EXPECT_EQ(cannot, expected);
    EXPECT_EQ(history::Restore(history, pass->Id()).restored, 2);
    auto after = before;
    after.erase("notes/a.txt");
    EXPECT_EQ(Snapshot(desktop_), after);
}

TEST_F(JournalPlanTest, a_plan_of_another_desktop_is_refused) {
    Settings(1);
    Put("x.txt", "x");
    const CleanPlan plan = engine_.PlanClean();
    // Another folder where the Desktop was (the old one still exists, so it
    // cannot hand its inode on).
    ASSERT_EQ(std::rename(desktop_.c_str(), (home_ + "/Old Desktop").c_str()), 0);
    MakeDirs(desktop_);
    try {
        engine_.CarryOut(plan, std::vector<bool>(plan.entries.size(), true));
        ADD_FAILURE() << "carried out";
    } catch (const Error& error) {
        EXPECT_EQ(error.What(), Error::Kind::Refused);
    }
}

}  // namespace
}  // namespace tidyfold::test
