// Same folder, not same spelling: the Desktop and the offload folder are
// judged by identity however their paths are written; no link is followed
// in either tree; a folder swapped between its listing and the descent is
// never entered; a source is removed only while it is what was copied.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Error.h"
#include "engine/Yield.h"
#include "fs/Fault.h"
#include "shell/cSpecialFolders.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::test {
namespace {

namespace fault = fs::fault;
using fault::Call;

class Identity : public EngineTest {
protected:
    // user-dirs.dirs outside the home folder, so that a snapshot of home
    // shows only what a pass did.
    void DesktopIs(const std::string& value) {
        tmp_.SetEnv("XDG_CONFIG_HOME", tmp_ / "config");
        WriteFile(tmp_ / "config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + value + "\"\n");
    }
    void Link(const std::string& target, const std::string& path) {
        ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
    }
    // Every operation that could transfer or delete, each on a new engine,
    // must end with a refusal naming why.
    void ExpectEveryOperationRefused(const std::string& why) {
        const std::string desktop = cSpecialFolders().Desktop();
        const std::vector<std::pair<const char*, std::function<void(cTidyfold&)>>> operations = {
            {"CheckSettings", [](cTidyfold& e) { e.CheckSettings(); }},
            {"Clean", [](cTidyfold& e) { e.Clean(); }},
            {"ProcessCompressed", [&](cTidyfold& e) { e.ProcessCompressed(desktop); }},
            {"CleanUpFolders", [&](cTidyfold& e) { e.CleanUpFolders(desktop); }},
        };
        for (const auto& [name, operation] : operations) {
            SCOPED_TRACE(name);
            cTidyfold engine;
            engine.SetClock([&] { return base_ + kDay; });
            try {
                operation(engine);
                ADD_FAILURE() << "not refused";
            } catch (const Error& error) {
                EXPECT_EQ(error.What(), Error::Kind::Refused) << error.what();
                EXPECT_NE(error.Description().find(why), std::string::npos) << error.what();
            }
        }
    }
    // A home folder with something in it for every operation to get wrong.
    void FillHome() {
        WriteFile(home_ + "/.profile", "# dot file");
        WriteFile(home_ + "/Documents/old.txt", "old");
        WriteFile(home_ + "/Photos.zip", "zip");
        WriteFile(home_ + "/Photos/a.jpg", "a");
        MakeDirs(home_ + "/emptydir");
        WriteFile(home_ + "/empty.txt", "");
        ArchiveList("zip,");
    }
};

TEST_F(Identity, a_desktop_that_is_the_root_the_home_folder_or_above_it_is_refused_however_spelled) {
    FillHome();
    MakeDirs(home_ + "/via");
    const std::string parent = tmp_.Path();
    const std::string homeName = home_.substr(parent.size() + 1);
    Link(parent, home_ + "/via/up");
    struct Case {
        std::string value;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"$HOME/.", "it is your home folder"},
        {"$HOME/Desktop/..", "it is your home folder"},
        {"$HOME/via/up/" + homeName, "it is your home folder"},  // through a linked parent folder
        {"$HOME/via/up", "it holds your home folder"},
        {parent + "/./", "it holds your home folder"},
        {"/.", "it is the root folder"},
        {"/", "it is the root folder"},
    };
    Settings(2, "7", 1);  // delete mode, empty files deleted too: the worst case
    const auto before = Snapshot(home_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        DesktopIs(c.value);
        ExpectEveryOperationRefused(c.why);
        EXPECT_EQ(Snapshot(home_), before);
        EXPECT_FALSE(Exists(offload_));
    }
    // Without user-dirs.dirs, a ~/Desktop that links to the home folder.
    RemoveTree(tmp_ / "config");
    RemoveTree(desktop_);
    Link(home_, desktop_);
    const auto linked = Snapshot(home_);
    ExpectEveryOperationRefused("it is your home folder");
    EXPECT_EQ(Snapshot(home_), linked);
}

TEST_F(Identity, exactly_home_in_user_dirs_still_means_the_desktop_folder) {
    for (const char* value : {"$HOME", "$HOME/", "${HOME}"}) {
        SCOPED_TRACE(value);
        DesktopIs(value);
        EXPECT_EQ(cSpecialFolders().Desktop(), desktop_);
    }
    Settings(1);
    Put("x.txt");
    EXPECT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(ReadFile(offload_ + "/x.txt"), "data");
}

TEST_F(Identity, an_offload_folder_that_is_the_root_home_the_desktop_or_above_it_is_refused_however_spelled) {
    Put("Photos.zip");
    Put("Photos/a.jpg");
    Put("sub/old.txt");
    Dir("empty");
    ArchiveList("zip,");
    Link(desktop_, home_ + "/desk-link");
    Link(home_, tmp_ / "home-link");
    struct Case {
        std::string offload;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"/", "the root folder"},
        {"/./", "the root folder"},
        {home_, "your home folder"},
        {home_ + "/.", "your home folder"},
        {desktop_ + "/..", "your home folder"},
        {tmp_ / "home-link", "your home folder"},
        {desktop_, "the Desktop folder itself"},
        {desktop_ + "//", "the Desktop folder itself"},
        {home_ + "/./Desktop/../Desktop", "the Desktop folder itself"},
        {home_ + "/desk-link", "the Desktop folder itself"},
        {tmp_.Path(), "a folder that holds the Desktop"},
    };
    const auto before = Snapshot(desktop_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offload);
        Settings(1, "7", 0, c.offload);
        ExpectEveryOperationRefused(c.why);
        EXPECT_EQ(Snapshot(desktop_), before);
    }
}

// The offload folder on the Desktop, reached in every way a user could spell
// it: never scanned again, never taken for an unpacked archive's folder or
// an empty folder, and neither is a folder that holds it.
TEST_F(Identity, an_offload_folder_inside_the_desktop_is_kept_however_it_is_reached) {
    struct Case {
        const char* name;
        std::string offload;
        bool linkedDesktop;
    };
    const std::string real = tmp_ / "real-desk";
    const std::vector<Case> cases = {
        {"plain", desktop_ + "/Archive", false},
        {"doubled and dotted", desktop_ + "//./Archive/", false},
        {"through ..", desktop_ + "/a/../Archive", false},
        {"a link into the Desktop", home_ + "/Trash", false},
        {"through a linked Desktop", desktop_ + "/Archive", true},
    };
    ArchiveList("zip,");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(desktop_);
        RemoveTree(real);
        RemoveTree(home_ + "/Trash");
        const std::string desk = c.linkedDesktop ? real : desktop_;
        MakeDirs(desk);
        if (c.linkedDesktop)
            Link(real, desktop_);
        WriteFile(desk + "/Archive.zip", "zip");
        WriteFile(desk + "/Archive/earlier.txt", "offloaded before");
        MakeDirs(desk + "/Archive/empty");
        WriteFile(desk + "/a/x.txt", "x");
        Link(desk + "/Archive", home_ + "/Trash");
        Settings(1, "7", 0, c.offload);
        cTidyfold engine;
        Recorder events;
        engine.Connect(&events);
        engine.SetClock([&] { return base_ + kDay; });
        EXPECT_EQ(engine.ProcessCompressed(cSpecialFolders().Desktop()), 0);
        EXPECT_EQ(engine.Clean(), 2);  // Archive.zip and a/x.txt
        for (const std::string& scanned : events.scanning)
            EXPECT_EQ(scanned.find("/Archive/"), std::string::npos) << scanned;
        EXPECT_EQ(ReadFile(desk + "/Archive/earlier.txt"), "offloaded before");
        EXPECT_TRUE(fs::FolderExists(desk + "/Archive/empty"));
        EXPECT_EQ(ReadFile(desk + "/Archive/a/x.txt"), "x");
        EXPECT_EQ(ReadFile(desk + "/Archive/Archive.zip"), "zip");
        EXPECT_FALSE(Exists(desk + "/Archive/Archive"));  // never offloaded into itself
        RemoveTree(home_ + "/Trash");
    }
}

TEST_F(Identity, a_folder_that_holds_the_offload_folder_or_would_is_kept_and_not_scanned) {
    ArchiveList("zip,");
    for (const bool exists : {true, false}) {
        SCOPED_TRACE(exists ? "offload folder exists" : "offload folder still to be made");
        RemoveTree(desktop_);
        Put("Box.zip");
        const std::string beside = Put("Box/beside.txt");
        if (exists)
            Put("Box/Trash/earlier.txt");
        Dir("Box/empty");
        Settings(1, "7", 0, desktop_ + "/Box/Trash");
        cTidyfold engine;
        engine.SetClock([&] { return base_ + kDay; });
        EXPECT_EQ(engine.ProcessCompressed(desktop_), 0);
        EXPECT_EQ(engine.Clean(), 1);  // Box.zip alone
        EXPECT_TRUE(Exists(beside));
        EXPECT_TRUE(fs::FolderExists(desktop_ + "/Box/empty"));
        EXPECT_EQ(ReadFile(desktop_ + "/Box/Trash/Box.zip"), "data");
    }
}

TEST_F(Identity, a_link_in_the_offload_folder_is_never_followed) {
    // An earlier pass carried the Desktop link "proj" -> ~/Projects as a link.
    const std::string projects = home_ + "/Projects";
    WriteFile(projects + "/docs/notes.txt", "the only copy");
    MakeDirs(offload_);
    Link(projects, offload_ + "/proj");
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        const std::string path = Put("proj/docs/notes.txt", "the Desktop's notes");
        Settings(mode);
        cTidyfold engine;
        engine.SetClock([&] { return base_ + kDay; });
        ASSERT_EQ(engine.Clean(), 1);
        const char* failed = mode == 0 ? "File copy of " : "Move of ";
        EXPECT_EQ(engine.Log(), failed + path + " FAILED.\r\nA folder on its way into the offload folder is a link, "
                                                "which is never followed: " + offload_ + "/proj\r\n");
        EXPECT_EQ(engine.FailedTransfers(), 1);
        EXPECT_EQ(ReadFile(path), "the Desktop's notes");
        EXPECT_EQ(ReadFile(projects + "/docs/notes.txt"), "the only copy");
        EXPECT_EQ(Snapshot(projects).size(), 2u);
    }
}

// A Desktop folder swapped for a link to a tree outside between its listing
// and the descent, in each operation that walks.
TEST_F(Identity, a_folder_swapped_for_a_link_after_its_listing_is_never_entered) {
    const std::string outside = tmp_ / "outside";
    ArchiveList("zip,");
    const std::vector<std::pair<const char*, std::function<void(cTidyfold&)>>> operations = {
        {"Clean", [](cTidyfold& e) { e.Clean(); }},
        {"CleanUpFolders", [&](cTidyfold& e) { e.CleanUpFolders(desktop_); }},
        {"ProcessCompressed", [&](cTidyfold& e) { EXPECT_EQ(e.ProcessCompressed(desktop_), 0); }},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        RemoveTree(outside);
        WriteFile(outside + "/old.txt", "outside");
        MakeDirs(outside + "/empty");
        const auto before = Snapshot(outside);
        WriteArchive(desktop_ + "/sub.zip", ArchiveFormat::Zip, {{"old.txt", "data"}});
        Put("sub/old.txt");
        Settings(2, "7", 1);
        fault::SetDescentHook([&](const std::string& path) {
            if (path != desktop_ + "/sub")
                return;
            RemoveTree(path);
            Link(outside, path);
        });
        cTidyfold engine;
        engine.SetClock([&] { return base_ + kDay; });
        operation(engine);
        fault::SetDescentHook(nullptr);
        EXPECT_EQ(Snapshot(outside), before);
        // Whichever step meets the link first says so; the unpacked-folder
        // check refuses to enter it as well.
        const bool skipped =
            engine.Log().find("Skipped folder " + desktop_ + "/sub: it changed after it was listed") !=
                std::string::npos ||
            (std::string(name) == "ProcessCompressed" &&
             engine.Log().find("Kept folder " + desktop_ + "/sub beside sub.zip: ") != std::string::npos);
        EXPECT_TRUE(skipped) << engine.Log();
        RemoveTree(desktop_ + "/sub");
    }
}

TEST_F(Identity, an_empty_file_in_a_folder_moved_out_of_the_desktop_during_the_scan_stays) {
    Put("a/x.txt");
    Put("a/sub/empty.txt", "");
    Settings(0, "7", 1);
    const std::string away = tmp_ / "moved-away";
    // At the first file's examination, before the walk goes below a/.
    SetYieldHook([&] {
        SetYieldHook(nullptr);
        ASSERT_EQ(rename((desktop_ + "/a").c_str(), away.c_str()), 0);
    });
    engine_.Clean();
    EXPECT_TRUE(Exists(away + "/sub/empty.txt"));
    EXPECT_EQ(ReadFile(away + "/x.txt"), "data");
}

class SourceChanges : public Identity, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        Identity::SetUp();
        Settings(GetParam());
        MakeDirs(offload_);  // no folder to make: the flushes counted below are the copy's
        if (GetParam() == 1)
            fault::Inject(Call::Rename, EXDEV);  // a move across file systems copies
    }
    std::string Failed(const std::string& path, const std::string& why = "") const {
        return (GetParam() == 0 ? "File copy of " : "Move of ") + path + " FAILED.\r\n" + why;
    }
};

TEST_P(SourceChanges, a_file_saved_by_rename_during_its_copy_stays_and_no_copy_is_placed) {
    const std::string path = Put("report.txt", std::string(3u << 20, 'o'));
    events_.onMoving = [&](const std::string&) {
        SetYieldHook([&] {
            SetYieldHook(nullptr);
            WriteFile(path + ".new", "saved by the editor");
            ASSERT_EQ(rename((path + ".new").c_str(), path.c_str()), 0);
        });
    };
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(engine_.Log(), Failed(path) + "It changed while it was being copied, so it stays on the Desktop.\r\n");
    EXPECT_EQ(ReadFile(path), "saved by the editor");
    EXPECT_FALSE(Exists(offload_ + "/report.txt"));
    EXPECT_EQ(engine_.FailedTransfers(), 1);
}

TEST_P(SourceChanges, a_file_saved_by_rename_after_its_copy_stays_beside_the_copy) {
    const std::string path = Put("report.txt", "version one");
    // The first flush is the copy's, the second its folder's; then the
    // Desktop file would go.
    fault::InjectAction(Call::Fsync, 2, [&] {
        WriteFile(path + ".new", "version two");
        ASSERT_EQ(rename((path + ".new").c_str(), path.c_str()), 0);
    });
    ASSERT_EQ(engine_.Clean(), 1);
    const std::string copied =
        GetParam() == 0 ? "File copy of " + path + " succeeded." + Offloaded("report.txt") + "\r\n" : "";
    EXPECT_EQ(engine_.Log(), copied + "Could not move file: " + path +
                                 "\r\nIt changed after it was copied, so it stays on the Desktop; the offload folder "
                                 "keeps the version that was copied." +
                                 (GetParam() == 1 ? Offloaded("report.txt") : "") + "\r\n");
    EXPECT_EQ(ReadFile(path), "version two");
    EXPECT_EQ(ReadFile(offload_ + "/report.txt"), "version one");
}

TEST_P(SourceChanges, a_folder_moved_out_of_the_desktop_during_a_copy_is_not_worked_in_there) {
    Put("a/one.txt", "one");
    Put("a/two.txt", "two");
    const std::string away = tmp_ / "moved-away";
    events_.onMoving = [&](const std::string&) {
        SetYieldHook([&] {
            SetYieldHook(nullptr);
            ASSERT_EQ(rename((desktop_ + "/a").c_str(), away.c_str()), 0);
        });
    };
    ASSERT_EQ(engine_.Clean(), 2);
    EXPECT_EQ(ReadFile(away + "/one.txt"), "one");
    EXPECT_EQ(ReadFile(away + "/two.txt"), "two");
    EXPECT_EQ(engine_.FailedTransfers(), 2);
    EXPECT_NE(engine_.Log().find("Its folder was moved out of the Desktop while it was copied"), std::string::npos)
        << engine_.Log();
    EXPECT_NE(engine_.Log().find(" FAILED.\r\n"), std::string::npos) << engine_.Log();
    EXPECT_EQ(Snapshot(offload_ + "/a").size(), 1u);  // the copy of the first stays
}

TEST_P(SourceChanges, a_copy_cut_short_by_the_file_system_fails_and_keeps_the_file) {
    const std::string path = Put("report.txt", std::string(2u << 20, 'r'));
    fault::Inject(Call::CopyFileRange, fault::kEndOfData);
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(engine_.Log(), Failed(path, "Input/output error\r\n"));
    EXPECT_EQ(ReadFile(path).size(), 2u << 20);
    EXPECT_TRUE(Snapshot(offload_).empty());
}

TEST_P(SourceChanges, stop_during_the_copy_keeps_the_file_and_leaves_no_temporary) {
    const std::string path = Put("big.bin", std::string(12u << 20, 'b'));
    Put("next.txt");
    int yields = 0;
    events_.onMoving = [&](const std::string&) {
        SetYieldHook([&] {
            if (++yields == 2) {
                engine_.Cancel(kTrue);  // what closing the window does
                engine_.AbandonCopy();
            }
        });
    };
    EXPECT_EQ(engine_.Clean(), std::nullopt);
    EXPECT_EQ(ReadFile(path).size(), 12u << 20);
    EXPECT_TRUE(Exists(desktop_ + "/next.txt"));
    EXPECT_TRUE(Snapshot(offload_).empty());
    EXPECT_FALSE(events_.progress.empty());  // the copy reports and yields
}

INSTANTIATE_TEST_SUITE_P(CopyAndMoveAcross, SourceChanges, ::testing::Values(0, 1),
                         [](const auto& test) { return test.param == 0 ? "copy" : "move_across"; });

}  // namespace
}  // namespace tidyfold::test
