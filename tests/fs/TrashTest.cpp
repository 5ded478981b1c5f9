#include <sys/stat.h>

#include <optional>

#include "fs/OpenFolder.h"
#include "fs/Trash.h"
#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;

constexpr const char* kDate = "2026-12-07T13:21:00";

// A Desktop folder and a home Trash below a data folder that does not exist
// yet, both in the test's folder.
class Trash : public FsTest {
protected:
    std::string Desktop() const { return dir / "Desktop"; }
    std::string HomeTrash() const { return dir / "data/Trash"; }

    // Lists the Desktop and trashes name from it, as a pass would.
    fs::TrashOutcome TrashName(const std::string& name, const std::string& homeTrash) const {
        const fs::OpenFolder desktop = fs::OpenFolder::Open(Desktop());
        const std::optional<fs::Entry> seen = desktop.Stat(name);
        EXPECT_TRUE(seen.has_value()) << name;
        return fs::TrashEntry(desktop, *seen, homeTrash, Desktop() + "/" + name, kDate);
    }
    fs::TrashOutcome TrashName(const std::string& name) const { return TrashName(name, HomeTrash()); }

    std::string InfoOf(const std::string& trash, const std::string& name) const {
        return ReadFile(trash + "/info/" + name + ".trashinfo");
    }
    std::string ExpectedInfo(const std::string& escapedPath) const {
        return "[Trash Info]\nPath=" + escapedPath + "\nDeletionDate=" + kDate + "\n";
    }
};

TEST_F(Trash, file_goes_to_the_home_trash_with_its_original_place_and_date) {
    WriteFile(Desktop() + "/My report 100%.txt", "data");
    const fs::TrashOutcome outcome = TrashName("My report 100%.txt");
    ASSERT_TRUE(outcome.Ok()) << outcome.error;
    EXPECT_EQ(outcome.trashedAs, HomeTrash() + "/files/My report 100%.txt");
    EXPECT_EQ(ReadFile(outcome.trashedAs), "data");
    EXPECT_FALSE(Exists(Desktop() + "/My report 100%.txt"));
    EXPECT_EQ(InfoOf(HomeTrash(), "My report 100%.txt"),
              ExpectedInfo(fs::TrashInfoPath(Desktop()) + "/My%20report%20100%25.txt"));
    for (const char* folder : {"", "/files", "/info"})
        EXPECT_EQ(ModeOf(HomeTrash() + folder), 0700u) << folder;
}

TEST_F(Trash, a_name_taken_in_either_folder_is_never_replaced) {
    // A trashed file with its info, a file whose info is lost, and an info
    // file whose file is gone: each name is passed over.
    WriteFile(HomeTrash() + "/files/a.txt", "first");
    WriteFile(HomeTrash() + "/info/a.txt.trashinfo", "info 1");
    WriteFile(HomeTrash() + "/files/a (2).txt", "orphan");
    WriteFile(HomeTrash() + "/info/a (3).txt.trashinfo", "info 3");
    WriteFile(Desktop() + "/a.txt", "newest");
    const fs::TrashOutcome outcome = TrashName("a.txt");
    ASSERT_TRUE(outcome.Ok()) << outcome.error;
    EXPECT_EQ(outcome.trashedAs, HomeTrash() + "/files/a (4).txt");
    EXPECT_EQ(ReadFile(HomeTrash() + "/files/a (4).txt"), "newest");
    EXPECT_EQ(InfoOf(HomeTrash(), "a (4).txt"), ExpectedInfo(fs::TrashInfoPath(Desktop() + "/a.txt")));
    EXPECT_EQ(ReadFile(HomeTrash() + "/files/a.txt"), "first");
    EXPECT_EQ(ReadFile(HomeTrash() + "/files/a (2).txt"), "orphan");
    EXPECT_EQ(InfoOf(HomeTrash(), "a (3).txt"), "info 3");
    EXPECT_FALSE(Exists(HomeTrash() + "/info/a (2).txt.trashinfo"));
}

TEST_F(Trash, names_numbered_and_shortened) {
    const std::string longStem(250, 'x');
    struct Case {
        std::string name;
        std::string second;  // the name the same file gets when the first is taken
    };
    const std::vector<Case> cases = {
        {"notes", "notes (2)"},
        {".hidden", ".hidden (2)"},
        {"archive.tar.gz", "archive.tar (2).gz"},
        // The info file's name must fit in 255 bytes: the stem gives way.
        {longStem + ".txt", std::string(245 - 4 - 4, 'x') + " (2).txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int copy = 0; copy < 2; ++copy) {
            WriteFile(Desktop() + "/" + c.name, "copy " + std::to_string(copy));
            const fs::TrashOutcome outcome = TrashName(c.name);
            ASSERT_TRUE(outcome.Ok()) << outcome.error;
            if (copy == 1) {
                EXPECT_EQ(outcome.trashedAs, HomeTrash() + "/files/" + c.second);
            }
        }
    }
    // The first of the long name was shortened too, and says where it was.
    const std::string first = std::string(241, 'x') + ".txt";
    EXPECT_EQ(first.size() + 10, 255u);
    EXPECT_EQ(InfoOf(HomeTrash(), first), ExpectedInfo(fs::TrashInfoPath(Desktop() + "/" + longStem + ".txt")));
}

TEST_F(Trash, a_link_goes_as_the_link_and_its_target_stays) {
    WriteFile(dir / "target", "precious");
    MakeDirs(Desktop());
    Symlink(dir / "target", Desktop() + "/link");
    const fs::TrashOutcome outcome = TrashName("link");
    ASSERT_TRUE(outcome.Ok()) << outcome.error;
    EXPECT_EQ(LinkText(outcome.trashedAs), dir / "target");
    EXPECT_EQ(ReadFile(dir / "target"), "precious");
}

TEST_F(Trash, a_file_changed_since_it_was_listed_stays_and_leaves_nothing_in_the_trash) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> change;
    };
    const std::vector<Case> cases = {
        {"saved over by rename", [](const std::string& path) {
             WriteFile(path + ".new", "new");
             ASSERT_EQ(rename((path + ".new").c_str(), path.c_str()), 0);
         }},
        {"written to", [](const std::string& path) { WriteFile(path, "longer now"); }},
        {"gone", [](const std::string& path) { ASSERT_EQ(unlink(path.c_str()), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(Desktop() + "/f", "old");
        const fs::OpenFolder desktop = fs::OpenFolder::Open(Desktop());
        const fs::Entry seen = *desktop.Stat("f");
        c.change(Desktop() + "/f");
        const fs::TrashOutcome outcome = fs::TrashEntry(desktop, seen, HomeTrash(), Desktop() + "/f", kDate);
        EXPECT_TRUE(outcome.changed);
        EXPECT_FALSE(outcome.Ok());
        EXPECT_FALSE(Exists(HomeTrash() + "/info/f.trashinfo"));
        EXPECT_FALSE(Exists(HomeTrash() + "/files/f"));
    }
}

// On a drive of its own, away from the home Trash: the Trash at the drive's
// top folder, the shared ".Trash/<uid>" only when it is a real folder with
// the sticky bit.
TEST_F(Trash, a_file_on_another_file_system_goes_to_the_trash_at_its_top_folder) {
    const std::string uid = std::to_string(geteuid());
    const int status = WithDriveMounted(DriveKind::Ext4, [&](const std::string& drive) {
        struct Case {
            const char* what;
            std::function<void()> prepare;
            std::string trash;
        };
        const std::vector<Case> cases = {
            {"no shared Trash", [] {}, drive + "/.Trash-" + uid},
            {"shared Trash without the sticky bit", [&] { MakeDirs(drive + "/.Trash"); }, drive + "/.Trash-" + uid},
            {"shared Trash as a link", [&] { Symlink(dir / "elsewhere", drive + "/.Trash"); },
             drive + "/.Trash-" + uid},
            {"shared Trash", [&] {
                 MakeDirs(drive + "/.Trash");
                 Chmod(drive + "/.Trash", 01777);
             },
             drive + "/.Trash/" + uid},
        };
        bool held = true;
        for (const Case& c : cases) {
            RemoveTree(drive + "/.Trash");
            RemoveTree(drive + "/.Trash-" + uid);
            c.prepare();
            WriteFile(drive + "/Desktop/f", c.what);
            const fs::OpenFolder desktop = fs::OpenFolder::Open(drive + "/Desktop");
            const fs::TrashOutcome outcome =
                fs::TrashEntry(desktop, *desktop.Stat("f"), HomeTrash(), drive + "/Desktop/f", kDate);
            held = held && outcome.Ok() && outcome.trashedAs == c.trash + "/files/f" &&
                   ReadFile(c.trash + "/files/f") == c.what &&
                   InfoOf(c.trash, "f") == ExpectedInfo(fs::TrashInfoPath(drive) + "/Desktop/f");
            if (!held)
                ADD_FAILURE() << c.what << ": " << outcome.error << " " << outcome.trashedAs;
        }
        return held && !Exists(HomeTrash());
    });
    if (status == 77)
        GTEST_SKIP() << "no drive can be mounted here (see the output)";
    EXPECT_EQ(status, 0);
}

// File managers keep no Trash on a system-internal mount such as a tmpfs: a
// Trash made there would never be shown, so the file stays, and nothing is
// made on that mount.
TEST_F(Trash, a_file_on_a_system_mount_stays_where_it_is) {
    const std::string drive = dir / "drive";
    MakeDirs(drive);
    const int status = WithTmpfsMounted(drive, [&] {
        WriteFile(drive + "/Desktop/f", "stays");
        const fs::OpenFolder desktop = fs::OpenFolder::Open(drive + "/Desktop");
        const fs::TrashOutcome outcome =
            fs::TrashEntry(desktop, *desktop.Stat("f"), HomeTrash(), drive + "/Desktop/f", kDate);
        return outcome.noTrash && outcome.systemMount && !outcome.Ok() && ReadFile(drive + "/Desktop/f") == "stays" &&
               !Exists(drive + "/.Trash-" + std::to_string(geteuid())) && !Exists(HomeTrash());
    });
    if (status == 77)
        GTEST_SKIP() << "mounting is not allowed here";
    EXPECT_EQ(status, 0);
}

TEST_F(Trash, no_usable_trash_leaves_the_file_where_it_is) {
    // The home Trash on another file system (tmpfs) than the file, and the
    // file's own top folder refusing a Trash (read-only, as a CD would).
    TempDir elsewhere("/dev/shm");
    WriteFile(Desktop() + "/f", "stays");
    fs::fault::Inject(Call::Mkdir, EROFS);
    const fs::TrashOutcome outcome = TrashName("f", elsewhere / "Trash");
    EXPECT_TRUE(outcome.noTrash);
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(ReadFile(Desktop() + "/f"), "stays");
    EXPECT_FALSE(Exists(elsewhere / "Trash"));
}

// Every kind of call the trashing makes, failing at each of its first uses:
// the file is either in the Trash with its info file, or where it was with
// no info file left for it.
TEST_F(Trash, a_failing_call_never_loses_the_file_or_leaves_half_an_entry) {
    const Call calls[] = {Call::Open, Call::Write, Call::Fsync, Call::Close, Call::Lstat, Call::Fstat,
                          Call::Mkdir, Call::Rename, Call::Link, Call::Unlink};
    for (const Call call : calls) {
        for (int nth = 1; nth <= 6; ++nth) {
            SCOPED_TRACE(std::string(fs::fault::Name(call)) + " #" + std::to_string(nth));
            RemoveTree(dir / "data");
            WriteFile(Desktop() + "/f.txt", "bytes");
            fs::fault::Reset();
            fs::fault::Inject(call, EIO, nth);
            fs::TrashOutcome outcome;
            try {
                outcome = TrashName("f.txt");
            } catch (const Error&) {
                outcome.error = -1;  // the test's own listing failed
            }
            fs::fault::Reset();
            const bool inTrash = Exists(HomeTrash() + "/files/f.txt");
            EXPECT_NE(inTrash, Exists(Desktop() + "/f.txt"));
            EXPECT_EQ(inTrash, outcome.Ok());
            EXPECT_EQ(Exists(HomeTrash() + "/info/f.txt.trashinfo"), inTrash);
            if (inTrash) {
                EXPECT_EQ(InfoOf(HomeTrash(), "f.txt"), ExpectedInfo(fs::TrashInfoPath(Desktop() + "/f.txt")));
            } else {
                RemoveTree(Desktop());
            }
        }
    }
}

TEST_F(Trash, info_path_is_escaped_as_in_a_url) {
    EXPECT_EQ(fs::TrashInfoPath("/home/ann/Desktop/a-b_c.d~e"), "/home/ann/Desktop/a-b_c.d~e");
    EXPECT_EQ(fs::TrashInfoPath("/x/100% é\n"), "/x/100%25%20%C3%A9%0A");
    EXPECT_EQ(fs::TrashInfoPath(std::string("/\xFF\0", 3)), "/%FF%00");
}

}  // namespace
}  // namespace tidyfold::test
