// The Clean pass: settings checks, what is collected, the transfer modes.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/Yield.h"
#include "fs/FreeName.h"
#include "base/Error.h"
#include "tests/engine/EngineFixture.h"

namespace tidyfold::test {
namespace {

int ErrorNumberOf(cTidyfold& engine) {
    try {
        engine.Clean();
    } catch (const Error& error) {
        return error.Number();
    }
    return 0;
}

TEST_F(EngineTest, nothing_old_enough_returns_nothing_and_touches_nothing) {
    PutYoung("young.txt");
    PutYoung("a/young.txt");
    Dir("empty/inner");
    const auto before = Snapshot(desktop_);
    EXPECT_EQ(engine_.Clean(), std::nullopt);
    EXPECT_TRUE(events_.counts.empty());
    EXPECT_FALSE(Exists(offload_));
    EXPECT_EQ(Snapshot(desktop_), before);  // empty folders not removed either
    EXPECT_EQ(events_.scanning.size(), 2u);

    cTidyfold onEmpty;
    RemoveTree(desktop_);
    MakeDirs(desktop_);
    EXPECT_EQ(onEmpty.Clean(), std::nullopt);
}

TEST_F(EngineTest, settings_refresh_fills_trash_directory_and_time_limit) {
    PutYoung("young.txt");
    Settings(0, "2.5");
    engine_.Clean();
    EXPECT_EQ(engine_.TrashDirectory(), offload_);
    EXPECT_EQ(engine_.TimeLimit(), 2.5f);
}

TEST_F(EngineTest, age_equal_to_the_limit_is_not_collected_a_second_more_is) {
    const std::string top = Put("top.txt");
    const std::string sub = Put("sub/inner.txt");
    SetTimes(top, base_);
    SetTimes(sub, base_);
    for (const auto& [limit, days] : {std::pair<std::string, std::int64_t>{"7", 7 * kDay}, {"0.5", kDay / 2}}) {
        Settings(4, limit);  // mode 4 keeps the files where they are
        cTidyfold atLimit;
        atLimit.SetClock([&, d = days] { return base_ + d; });
        EXPECT_EQ(atLimit.Clean(), std::nullopt) << limit;
        cTidyfold pastLimit;
        pastLimit.SetClock([&, d = days] { return base_ + d + 1; });
        EXPECT_EQ(pastLimit.Clean(), 2) << limit;
    }
}

TEST_F(EngineTest, last_use_is_the_newest_of_the_three_times) {
    // Accessed long ago but written recently: in use, not collected.
    const std::string path = Put("written.txt");
    const timespec times[2] = {{static_cast<time_t>(base_ - 100 * kDay), 0}, {static_cast<time_t>(base_), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(engine_.Clean(), std::nullopt);
    // The status change time counts too: a file with old access and write
    // times, just put on the Desktop, is about ten days old, not a hundred.
    SetTimes(path, base_ - 100 * kDay);
    cTidyfold engine;
    engine.SetClock([&] { return base_ - 5 * kDay; });
    Settings(0, "30");
    EXPECT_EQ(engine.Clean(), std::nullopt);
}

TEST_F(EngineTest, refuses_bad_limits_and_offload_paths_before_touching_anything) {
    Put("old.txt");
    Put("a/empty.bin", "");  // the null-file gate would delete it
    Dir("b/c");
    const auto before = Snapshot(desktop_);
    struct Case {
        std::string limit;
        std::string trash;
    };
    for (const Case& c : {Case{"-1", ""}, Case{"-0.001", ""}, Case{"7", "C:\\Trash"}, Case{"7", "Trash/x"}}) {
        Settings(2, c.limit, 1, c.trash);
        cTidyfold engine;
        engine.SetClock([&] { return base_ + kDay; });
        EXPECT_EQ(ErrorNumberOf(engine), EINVAL) << c.limit << " " << c.trash;
        EXPECT_EQ(Snapshot(desktop_), before);
        EXPECT_FALSE(Exists(offload_));
    }
    // A limit that is not a number never reaches the pass.
    Settings(2, "nan", 1);
    cTidyfold engine;
    EXPECT_NE(ErrorNumberOf(engine), 0);
    EXPECT_EQ(Snapshot(desktop_), before);
}

TEST_F(EngineTest, mode0_copies_keeping_the_folder_path_then_deletes_and_cleans_up) {
    const std::string top = Put(".hidden", "h");
    Put("a/b/c.txt", "c");
    const std::string young = PutYoung("a/young.txt");
    Dir("empty/inner");
    ASSERT_EQ(engine_.Clean(), 2);
    EXPECT_EQ(ReadFile(offload_ + "/.hidden"), "h");
    EXPECT_EQ(ReadFile(offload_ + "/a/b/c.txt"), "c");
    EXPECT_FALSE(Exists(top));
    EXPECT_FALSE(Exists(desktop_ + "/a/b"));  // emptied, then removed
    EXPECT_FALSE(Exists(desktop_ + "/empty"));
    EXPECT_TRUE(Exists(young));
    EXPECT_TRUE(Exists(desktop_));
}


TEST_F(EngineTest, mode0_read_only_file_arrives_and_leaves_the_desktop) {
    const std::string path = Put("ro.txt", "r");
    chmod(path.c_str(), 0444);
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(ReadFile(offload_ + "/ro.txt"), "r");
    EXPECT_FALSE(Exists(path));
}

// A name taken in the offload folder never costs either file: pass after
// pass, each version lands under the next free name and the log says where.
TEST_F(EngineTest, clashes_keep_every_version_under_the_next_free_name_in_both_modes) {
    const struct {
        const char* name;
        std::vector<std::string> landed;  // pass by pass, below the offload folder
    } cases[] = {
        {"a/budget 2026.csv", {"a/budget 2026.csv", "a/budget 2026 (2).csv", "a/budget 2026 (3).csv"}},
        {".bashrc", {".bashrc", ".bashrc (2)", ".bashrc (3)"}},
        {"README", {"README", "README (2)", "README (3)"}},
        {"b/site.tar.gz", {"b/site.tar.gz", "b/site.tar (2).gz", "b/site.tar (3).gz"}},
    };
    for (int mode : {0, 1}) {
        RemoveTree(offload_);
        Settings(mode);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(mode));
            const std::string verb = mode == 0 ? "File copy of " : "Move of ";
            for (std::size_t pass = 0; pass < c.landed.size(); ++pass) {
                const std::string path = Put(c.name, "version " + std::to_string(pass));
                cTidyfold engine;
                engine.SetClock([&] { return base_ + kDay; });
                ASSERT_EQ(engine.Clean(), 1);
                const std::string own = std::string(c.name).substr(std::string(c.name).rfind('/') + 1);
                EXPECT_EQ(engine.Log(), verb + path + " succeeded." + Offloaded(c.landed[pass], pass ? own : "") +
                                            "\r\n");
                EXPECT_FALSE(Exists(path));
            }
            for (std::size_t pass = 0; pass < c.landed.size(); ++pass)
                EXPECT_EQ(ReadFile(offload_ + "/" + c.landed[pass]), "version " + std::to_string(pass));
        }
    }
}

TEST(FreeNames, numbered_before_the_extension_and_cut_to_fit) {
    EXPECT_EQ(fs::NumberedName("notes.", 2), "notes (2).");
    EXPECT_EQ(fs::NumberedName("x", 1), "x");
    const std::string longName = std::string(250, 'n') + ".txt";
    EXPECT_EQ(fs::NumberedName(longName, 12), std::string(246, 'n') + " (12).txt");
    // A character cut in two is cut off whole.
    EXPECT_EQ(fs::NumberedName(std::string(250, 'e') + "\xc3\xa9zz", 2), std::string(250, 'e') + " (2)");
}

TEST_F(EngineTest, desktop_pointed_elsewhere_during_the_transfer_does_not_end_the_pass) {
    Settings(1);
    const std::string x = Put("a/x.txt", "x");
    const std::string y = Put("b/y.txt", "y");
    MakeDirs(home_ + "/Elsewhere");
    events_.onMoving = [&](const std::string&) {
        WriteFile(home_ + "/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Elsewhere\"\n");
    };
    ASSERT_EQ(engine_.Clean(), 2);
    EXPECT_EQ(engine_.FailedTransfers(), 0) << engine_.Log();
    EXPECT_EQ(ReadFile(offload_ + "/a/x.txt"), "x");
    EXPECT_EQ(ReadFile(offload_ + "/b/y.txt"), "y");
    EXPECT_FALSE(Exists(x));
    EXPECT_FALSE(Exists(y));
    // Outside a pass every call looks again.
    EXPECT_EQ(engine_.RetainDirStructure(fs::File(home_ + "/Elsewhere/z.txt")), offload_ + "/z.txt");
}

TEST_F(EngineTest, mode2_deletes_in_place_without_events_and_logs_each_deletion) {
    Settings(2);
    const std::string a = Put("a.txt");
    const std::string b = Put("sub/b.txt");
    ASSERT_EQ(engine_.Clean(), 2);
    EXPECT_FALSE(Exists(a));
    EXPECT_FALSE(Exists(b));
    EXPECT_FALSE(Exists(desktop_ + "/sub"));
    EXPECT_TRUE(events_.moving.empty());
    EXPECT_EQ(engine_.Log(), "Deleted " + a + ".\r\nDeleted " + b + ".\r\n");
    EXPECT_EQ(engine_.FailedTransfers(), 0);
    EXPECT_TRUE(Exists(offload_));  // made ready before the loop, as for every mode
}

TEST_F(EngineTest, mode2_read_only_file_ends_the_pass_after_earlier_files_went) {
    Settings(2);
    const std::string first = Put("first.txt");
    const std::string locked = Put("sub/locked.txt");
    chmod(locked.c_str(), 0444);
    Dir("empty");
    EXPECT_EQ(ErrorNumberOf(engine_), EACCES);
    EXPECT_FALSE(Exists(first));
    EXPECT_TRUE(Exists(locked));
    EXPECT_TRUE(Exists(desktop_ + "/empty"));  // the pass ended before the clean-up
}

TEST_F(EngineTest, unknown_mode_leaves_files_but_still_counts_and_cleans_up) {
    Settings(4);
    const std::string a = Put("a/x.txt");
    Dir("empty");
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(events_.counts, std::vector<std::int32_t>{1});
    EXPECT_TRUE(Exists(a));
    EXPECT_FALSE(Exists(desktop_ + "/empty"));
}

TEST_F(EngineTest, missing_offload_parent_fails_after_the_scan_before_any_transfer) {
    const std::string path = Put("x.txt");
    Settings(1, "7", 0, tmp_ / "missing/offload");
    EXPECT_EQ(ErrorNumberOf(engine_), ENOENT);
    EXPECT_EQ(events_.scanning, std::vector<std::string>{path});
    EXPECT_TRUE(Exists(path));
}

TEST_F(EngineTest, null_files_are_deleted_only_when_the_option_is_one) {
    const std::string topEmpty = Put("empty.txt", "");
    const std::string subEmpty = Put("sub/empty.txt", "");
    const std::string youngEmpty = PutYoung("sub/young.txt", "");
    Settings(4, "7", 0);
    cTidyfold off;
    off.SetClock([&] { return base_ + kDay; });
    EXPECT_EQ(off.Clean(), 2);  // examined and aged like any other file
    EXPECT_TRUE(Exists(topEmpty));

    Settings(4, "7", 1);
    EXPECT_EQ(engine_.Clean(), std::nullopt);
    EXPECT_FALSE(Exists(topEmpty));
    EXPECT_FALSE(Exists(subEmpty));
    // A young empty file is about to be written: kept, examined, not collected.
    EXPECT_TRUE(Exists(youngEmpty));
    EXPECT_EQ(events_.scanning, std::vector<std::string>{youngEmpty});
    EXPECT_EQ(engine_.Log(), "Deleted empty file " + topEmpty + ".\r\nDeleted empty file " + subEmpty + ".\r\n");
}

TEST_F(EngineTest, the_public_null_file_gate_ages_the_file_too) {
    Settings(3, "7", 1);
    engine_.Options()->LoadOptions();
    const std::string old = Put("old.txt", "");
    const std::string young = PutYoung("young.txt", "");
    EXPECT_EQ(engine_.IsFileNullFile(fs::File(young)), 0);
    EXPECT_EQ(engine_.IsFileNullFile(fs::File(old)), 1);
    EXPECT_TRUE(Exists(young));
    EXPECT_FALSE(Exists(old));
    EXPECT_EQ(engine_.Log(), "Deleted empty file " + old + ".\r\n");
}

TEST_F(EngineTest, read_only_null_file_ends_the_pass) {
    const std::string path = Put("sub/empty.txt", "");
    chmod(path.c_str(), 0444);
    Settings(0, "7", 1);
    EXPECT_EQ(ErrorNumberOf(engine_), EACCES);
    EXPECT_TRUE(Exists(path));
}

TEST_F(EngineTest, cancel_before_clean_stops_the_loop_before_the_first_file) {
    const std::string top = Put("top.txt");
    const std::string sub = Put("sub/x.txt");
    Dir("empty");
    engine_.Cancel(kTrue);
    EXPECT_EQ(engine_.Clean(), std::nullopt);
    EXPECT_EQ(events_.scanning, std::vector<std::string>{top});  // the walk below never began
    EXPECT_EQ(events_.counts, std::vector<std::int32_t>{1});
    EXPECT_TRUE(events_.moving.empty());
    EXPECT_TRUE(Exists(top));
    EXPECT_TRUE(Exists(sub));
    EXPECT_TRUE(Exists(desktop_ + "/empty"));
}

TEST_F(EngineTest, cancel_pressed_during_the_scan_stops_descending_and_transfers_nothing) {
    const std::string x = Put("a/x.txt");
    const std::string y = Put("a/deep/y.txt");
    const std::string w = Put("a/deep/deeper/w.txt");
    Dir("a/deep/empty");
    int yields = 0;
    SetYieldHook([&] {
        if (++yields == 2)
            engine_.Cancel(kTrue);
    });
    EXPECT_EQ(engine_.Clean(), std::nullopt);
    EXPECT_EQ(events_.scanning, (std::vector<std::string>{x, y}));
    EXPECT_TRUE(events_.moving.empty());
    EXPECT_TRUE(Exists(x) && Exists(y) && Exists(w));
    EXPECT_TRUE(Exists(desktop_ + "/a/deep/empty"));
}

TEST_F(EngineTest, stop_during_a_copy_is_seen_before_the_next_file) {
    Put("a/one.bin", std::string(1 << 20, '1'));
    Put("b/two.bin", std::string(1 << 20, '2'));
    events_.onMoving = [&](const std::string&) {
        SetYieldHook([&] { engine_.Cancel(kTrue); });
    };
    EXPECT_EQ(engine_.Clean(), std::nullopt);
    ASSERT_EQ(events_.moving.size(), 1u);
    // The copy under way ran to its end.
    EXPECT_EQ(Snapshot(offload_).size(), 2u);
}

TEST_F(EngineTest, offload_folder_inside_the_desktop_is_not_scanned_again) {
    for (const std::string suffix : {"", "/", "//./"}) {
        RemoveTree(desktop_);
        const std::string earlier = Put("Trash/earlier.txt");
        const std::string x = Put("a/x.txt");
        Settings(1, "7", 0, desktop_ + "/Trash" + suffix);
        cTidyfold engine;
        Recorder events;
        engine.Connect(&events);
        engine.SetClock([&] { return base_ + kDay; });
        ASSERT_EQ(engine.Clean(), 1) << suffix;
        EXPECT_EQ(events.scanning, std::vector<std::string>{x});
        EXPECT_TRUE(Exists(earlier));
        EXPECT_TRUE(Exists(desktop_ + "/Trash/a/x.txt"));
    }
}

TEST_F(EngineTest, offload_folder_beside_the_desktop_leaves_the_walk_whole) {
    const std::string x = Put("a/x.txt");
    Settings(1, "7", 0, home_ + "/Trash");
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(events_.scanning, std::vector<std::string>{x});
    EXPECT_TRUE(Exists(home_ + "/Trash/a/x.txt"));
    EXPECT_FALSE(Exists(x));
}

TEST_F(EngineTest, offload_folder_that_is_a_link_receives_files_at_its_target) {
    MakeDirs(offload_);
    ASSERT_EQ(symlink(offload_.c_str(), (home_ + "/Trash").c_str()), 0);
    const std::string x = Put("a/x.txt");
    Settings(0, "7", 0, home_ + "/Trash");
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(ReadFile(offload_ + "/a/x.txt"), "data");
    EXPECT_FALSE(Exists(x));
    struct stat st;
    ASSERT_EQ(lstat((home_ + "/Trash").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));  // the link itself is left as it was
}

}  // namespace
}  // namespace tidyfold::test
