// What a pass must never do to the user's files: follow links, lose data when
// a copy fails or a file moves away, choke on names or depth.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "engine/Yield.h"
#include "base/Error.h"
#include "fs/Fault.h"
#include "tests/engine/EngineFixture.h"

namespace tidyfold::test {
namespace {

class LinkedFolder : public EngineTest, public ::testing::WithParamInterface<int> {};

TEST_P(LinkedFolder, nothing_outside_the_desktop_is_touched) {
    const std::string decoy = tmp_ / "decoy";
    WriteFile(decoy + "/precious.txt", "keep");
    WriteFile(decoy + "/inner/deeper.txt", "keep too");
    MakeDirs(decoy + "/empty");
    WriteFile(decoy + "/nothing.bin", "");
    const auto before = Snapshot(decoy);
    ASSERT_EQ(symlink(decoy.c_str(), (desktop_ + "/home-link").c_str()), 0);
    Dir("sub");
    ASSERT_EQ(symlink(decoy.c_str(), (desktop_ + "/sub/again").c_str()), 0);
    ASSERT_EQ(symlink("../../decoy/precious.txt", (desktop_ + "/file-link").c_str()), 0);
    Settings(GetParam(), "7", 1);

    ASSERT_EQ(engine_.Clean(), 3);  // the three links, aged on their own times
    EXPECT_EQ(Snapshot(decoy), before);
    for (const std::string& scanned : events_.scanning)
        EXPECT_EQ(scanned.find("precious"), std::string::npos) << scanned;
    EXPECT_FALSE(Exists(desktop_ + "/home-link"));
    EXPECT_FALSE(Exists(desktop_ + "/sub"));
    if (GetParam() != 2) {
        struct stat st {};
        ASSERT_EQ(lstat((offload_ + "/sub/again").c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_EQ(Snapshot(offload_)["home-link"], "L:" + decoy);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryMode, LinkedFolder, ::testing::Values(0, 1, 2));

TEST_F(EngineTest, link_loops_are_entries_not_ways_down) {
    Dir("a");
    ASSERT_EQ(symlink("..", (desktop_ + "/a/up").c_str()), 0);
    ASSERT_EQ(symlink("self", (desktop_ + "/self").c_str()), 0);
    ASSERT_EQ(symlink(desktop_.c_str(), (desktop_ + "/a/desktop").c_str()), 0);
    Settings(1);
    ASSERT_EQ(engine_.Clean(), 3);
    EXPECT_EQ(Snapshot(offload_)["a/up"], "L:..");
    EXPECT_EQ(Snapshot(offload_)["self"], "L:self");
    EXPECT_TRUE(Snapshot(desktop_).empty());
}

TEST_F(EngineTest, offload_folder_on_another_file_system) {
    char pattern[] = "/dev/shm/tidyfold-engine-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string other = pattern;
    struct stat here {}, there {};
    stat(tmp_.Path().c_str(), &here);
    stat(other.c_str(), &there);
    if (here.st_dev == there.st_dev)
        fs::fault::Inject(fs::fault::Call::Rename, EXDEV);  // make the move cross anyway
    for (int mode : {1, 0}) {
        const std::string name = "m" + std::to_string(mode);
        const std::string path = Put(name + "/file.txt", name);
        Settings(mode, "7", 0, other + "/offload");
        cTidyfold engine;
        engine.SetClock([&] { return base_ + kDay; });
        EXPECT_EQ(engine.Clean(), 1);
        EXPECT_EQ(engine.FailedTransfers(), 0) << engine.Log();
        EXPECT_EQ(ReadFile(other + "/offload/" + name + "/file.txt"), name);
        EXPECT_FALSE(Exists(path));
    }
    RemoveTree(other);
}

TEST_F(EngineTest, file_gone_before_its_transfer_is_a_logged_failure_and_the_pass_goes_on) {
    for (int mode : {0, 1, 2}) {
        RemoveTree(desktop_);
        RemoveTree(offload_);
        const std::string gone = Put("a/gone.txt");
        const std::string kept = Put("b/kept.txt");
        Settings(mode);
        cTidyfold engine;
        Recorder events;
        engine.Connect(&events);
        engine.SetClock([&] { return base_ + kDay; });
        events.onSetFileCount = [&] { RemoveTree(gone); };
        EXPECT_EQ(engine.Clean(), 2) << mode;
        EXPECT_FALSE(Exists(kept));
        EXPECT_EQ(engine.FailedTransfers(), mode == 2 ? 0 : 1);
        const std::string failed = mode == 0   ? "File copy of " + gone + " FAILED.\r\n"
                                   : mode == 1 ? "Move of " + gone + " FAILED.\r\n"
                                               : "";
        if (mode != 2)
            EXPECT_NE(engine.Log().find(failed + "It is no longer where the scan found it.\r\n"), std::string::npos)
                << engine.Log();
        else
            EXPECT_EQ(engine.Log().find("FAILED"), std::string::npos) << engine.Log();
        EXPECT_FALSE(Exists(offload_ + "/a/gone.txt"));
    }
}

TEST_F(EngineTest, file_replaced_by_a_new_one_after_the_scan_stays_untouched) {
    for (int mode : {0, 1, 2}) {
        RemoveTree(desktop_);
        RemoveTree(offload_);
        const std::string saved = Put("a/report.txt", "old");
        const std::string other = Put("b/other.txt");
        Settings(mode);
        cTidyfold engine;
        Recorder events;
        engine.Connect(&events);
        engine.SetClock([&] { return base_ + kDay; });
        // An editor saves by writing a new file and renaming it over the old.
        events.onSetFileCount = [&] {
            WriteFile(saved + ".new", "new");
            SetTimes(saved + ".new", base_ + kDay);
            ASSERT_EQ(rename((saved + ".new").c_str(), saved.c_str()), 0);
        };
        EXPECT_EQ(engine.Clean(), 2) << mode;
        EXPECT_EQ(ReadFile(saved), "new") << mode;
        EXPECT_FALSE(Exists(offload_ + "/a/report.txt")) << mode;
        EXPECT_FALSE(Exists(other)) << mode;
        EXPECT_EQ(engine.FailedTransfers(), 0) << mode;
    }
}

TEST_F(EngineTest, file_whose_listing_stat_fails_is_logged_and_never_collected) {
    // Folders are listed with one stat per entry. A pass over a Desktop whose
    // one file is too young ends right after listing it: its stat is that
    // pass's last one.
    const std::string path = PutYoung("unreadable.txt");
    fs::fault::Reset();
    EXPECT_EQ(engine_.Clean(), std::nullopt);
    const long listingStat = fs::fault::Uses(fs::fault::Call::Lstat);
    cTidyfold engine;
    Recorder events;
    engine.Connect(&events);
    engine.SetClock([&] { return base_ + 30 * kDay; });  // now it would be old
    fs::fault::Reset();
    fs::fault::Inject(fs::fault::Call::Lstat, EIO, static_cast<int>(listingStat));
    EXPECT_EQ(engine.Clean(), std::nullopt);
    EXPECT_EQ(engine.Log(), "Could not open file: " + path + "\r\nInput/output error\r\n");
    EXPECT_EQ(events.scanning, std::vector<std::string>{path});
    EXPECT_TRUE(Exists(path));
}

TEST_F(EngineTest, file_gone_during_its_examination_is_reported_by_its_transfer) {
    // Aged on the times its folder's listing gave; its transfer looks again.
    const std::string path = Put("a/vanishing.txt");
    SetYieldHook([&] { RemoveTree(path); });
    EXPECT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(engine_.Log(), "File copy of " + path + " FAILED.\r\nIt is no longer where the scan found it.\r\n");
    EXPECT_EQ(events_.scanning, std::vector<std::string>{path});
}

TEST_F(EngineTest, file_whose_times_cannot_be_read_is_logged_and_never_collected) {
    // A folder the user may list but not search: its files' times are out of
    // reach, as for a file in a folder of another user.
    const std::string path = Put("listable/old.txt");
    chmod((desktop_ + "/listable").c_str(), 0744);
    const int status = RunUnprivileged([&] {
        cTidyfold engine;
        Recorder events;
        engine.Connect(&events);
        engine.SetClock([&] { return base_ + kDay; });
        EXPECT_EQ(engine.Clean(), std::nullopt);
        EXPECT_EQ(engine.Log(), "Could not open file: " + path + "\r\nPermission denied\r\n");
        EXPECT_EQ(events.scanning, std::vector<std::string>{path});
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(Exists(path));
}

TEST_F(EngineTest, copy_abandoned_on_exit_keeps_the_desktop_file_and_leaves_no_temporary) {
    const std::string path = Put("sub/big.bin", std::string(12u << 20, 'a'));
    Put("sub/next.txt", "n");
    class Closer : public Recorder {
    public:
        explicit Closer(cTidyfold& engine) : engine_(engine) {}
        void CopyProgressRoutine(std::int64_t total, std::int64_t done) override {
            Recorder::CopyProgressRoutine(total, done);
            engine_.Cancel(kTrue);  // what closing the window does
            engine_.AbandonCopy();
        }
        cTidyfold& engine_;
    } closer(engine_);
    engine_.Connect(&closer);
    EXPECT_EQ(engine_.Clean(), std::nullopt);
    EXPECT_EQ(ReadFile(path).size(), 12u << 20);
    EXPECT_TRUE(Exists(desktop_ + "/sub/next.txt"));
    EXPECT_EQ(Snapshot(offload_), (std::map<std::string, std::string>{{"sub", Snapshot(tmp_.Path())["offload/sub"]}}));
    EXPECT_EQ(closer.moving.size(), 1u);
}

TEST_F(EngineTest, missing_desktop_is_an_error) {
    RemoveTree(desktop_);
    EXPECT_THROW(engine_.Clean(), Error);
}

TEST_F(EngineTest, copy_failing_half_way_keeps_source_and_earlier_destination) {
    const std::string big(12u << 20, 'n');
    const std::string path = Put("sub/big.bin", big);
    WriteFile(offload_ + "/sub/big.bin", "earlier");
    // Whichever way the data travels, its second chunk fails.
    fs::fault::Inject(fs::fault::Call::CopyFileRange, EIO, 2);
    fs::fault::Inject(fs::fault::Call::Write, EIO, 2);
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(engine_.Log(), "File copy of " + path + " FAILED.\r\nInput/output error\r\n");
    EXPECT_EQ(engine_.FailedTransfers(), 1);
    EXPECT_EQ(ReadFile(path), big);
    EXPECT_EQ(ReadFile(offload_ + "/sub/big.bin"), "earlier");
    EXPECT_EQ(Snapshot(offload_).size(), 2u);  // no temporary file left beside it
    EXPECT_FALSE(events_.progress.empty());
}

TEST_F(EngineTest, desktop_file_that_cannot_be_deleted_after_its_copy_is_logged_twice) {
    const std::string path = Put("sub/x.txt", "x");
    fs::fault::Inject(fs::fault::Call::Unlink, EPERM);
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(engine_.Log(),
              "File copy of " + path + " succeeded." + Offloaded("sub/x.txt") + "\r\nCould not move file: " + path +
                  "\r\nOperation not permitted\r\n");
    EXPECT_EQ(engine_.FailedTransfers(), 1);
    EXPECT_EQ(ReadFile(path), "x");
    EXPECT_EQ(ReadFile(offload_ + "/sub/x.txt"), "x");
}

TEST_F(EngineTest, names_that_are_not_utf8_or_hold_backslashes_travel_intact) {
    const std::string folder = "caf\xe9 \\ dir";
    const std::string name = "na\\me\xff\xfe.txt";
    for (int mode : {0, 1}) {
        RemoveTree(offload_);
        const std::string path = Put(folder + "/" + name, "bytes");
        const std::string top = Put("\x80top\\", "top");
        Settings(mode);
        cTidyfold engine;
        engine.SetClock([&] { return base_ + kDay; });
        ASSERT_EQ(engine.Clean(), 2) << mode;
        EXPECT_EQ(engine.FailedTransfers(), 0) << engine.Log();
        EXPECT_EQ(ReadFile(offload_ + "/" + folder + "/" + name), "bytes");
        EXPECT_EQ(ReadFile(offload_ + "/\x80top\\"), "top");
        EXPECT_FALSE(Exists(path));
        EXPECT_FALSE(Exists(top));
        EXPECT_FALSE(Exists(desktop_ + "/" + folder));
    }
}

TEST_F(EngineTest, desktop_two_hundred_levels_deep) {
    std::string relative;
    for (int level = 0; level < 200; ++level)
        relative += "d/";
    Put(relative + "bottom.txt", "deep");
    Put(relative.substr(0, 200) + "middle.txt", "mid");
    Settings(1);
    ASSERT_EQ(engine_.Clean(), 2);
    EXPECT_EQ(ReadFile(offload_ + "/" + relative + "bottom.txt"), "deep");
    EXPECT_EQ(ReadFile(offload_ + "/" + relative.substr(0, 200) + "middle.txt"), "mid");
    EXPECT_FALSE(Exists(desktop_ + "/d"));
}

TEST_F(EngineTest, copy_onto_the_file_itself_fails_and_keeps_it) {
    // Its destination is a hard link of the Desktop file: the copy would
    // land on the file itself.
    const std::string path = Put("x.txt", "x");
    MakeDirs(offload_);
    ASSERT_EQ(link(path.c_str(), (offload_ + "/x.txt").c_str()), 0);
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(engine_.Log(), "File copy of " + path + " FAILED.\r\nInvalid argument\r\n");
    EXPECT_EQ(ReadFile(path), "x");
}

}  // namespace
}  // namespace tidyfold::test
