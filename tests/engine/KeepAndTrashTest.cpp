// What the user keeps stays through every operation in every mode; the
// Trash mode sends files where a file manager finds and restores them.

#include <sys/stat.h>

#include <cerrno>
#include <ctime>

#include "engine/CopyProgress.h"
#include "fs/Fault.h"
#include "fs/Trash.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::test {
namespace {

using KeepAndTrash = EngineTest;

// The settings of these tests: mode, a limit of 7 days, empty files and
// unpacked folders removed, and patterns kept.
void KeepSettings(const Sandbox& sandbox, TransferMode mode, const std::vector<std::string>& patterns) {
    cOptions options = sandbox.Options(mode);
    options.DelNullFiles(1);
    options.DelUCFolders(1);
    options.KeepPatterns(patterns);
    sandbox.WriteSettings(options);
}

// The entries of snapshot at or below any of the prefixes.
std::map<std::string, std::string> Below(const std::map<std::string, std::string>& snapshot,
                                         const std::vector<std::string>& prefixes) {
    std::map<std::string, std::string> kept;
    for (const auto& [path, what] : snapshot)
        for (const std::string& prefix : prefixes)
            if (path == prefix || path.rfind(prefix + "/", 0) == 0)
                kept.emplace(path, what);
    return kept;
}

TEST_F(KeepAndTrash, kept_files_and_folders_survive_every_operation_in_every_mode) {
    const std::vector<std::string> patterns = {"*.desktop", ".*", "Projects/", "/Notes/*.txt", "zero.txt", "Photos/"};
    // Docs lies beside its archive and is not kept itself, but holds a
    // launcher; Music beside its archive holds nothing kept and goes.
    const std::vector<std::string> kept = {"firefox.desktop", "Apps/chess.desktop", ".directory", ".git",
                                           "Projects", "Notes/a.txt", "zero.txt", "Photos", "Docs"};
    tmp_.SetEnv("XDG_DATA_HOME", tmp_.Path() + "/data");
    for (const TransferMode mode : {TransferMode::CopyThenDelete, TransferMode::Move, TransferMode::Delete,
                                    TransferMode::Trash}) {
        SCOPED_TRACE(static_cast<int>(mode));
        tmp_.Reset();
        KeepSettings(tmp_, mode, patterns);
        ArchiveList("zip,");
        for (const char* file : {"firefox.desktop", "Apps/chess.desktop", ".directory", ".git/config",
                                 "Projects/src/main.c", "Notes/a.txt", "Notes/b.md", "report.txt", "Photos/a.jpg",
                                 "Docs/sub/open.desktop", "Music/a.mp3"})
            Put(file);
        Put("zero.txt", "");
        Dir("Projects/empty");
        Dir("EmptyDir");
        for (const char* name : {"Photos", "Docs", "Music"})
            WriteArchive(desktop_ + "/" + name + ".zip", ArchiveFormat::Zip, {{"a.mp3", "data"}});
        const auto before = Snapshot(desktop_);

        cTidyfold engine;
        engine.SetClock([&] { return base_ + 30 * kDay; });
        EXPECT_EQ(engine.ProcessCompressed(desktop_), 1);
        EXPECT_FALSE(Exists(desktop_ + "/Music"));
        EXPECT_EQ(engine.Clean(), 5);  // report.txt, Notes/b.md and the three archives, which are not kept
        engine.CleanUpFolders(desktop_);

        const auto after = Snapshot(desktop_);
        EXPECT_EQ(Below(after, kept), Below(before, kept));
        EXPECT_FALSE(Exists(desktop_ + "/report.txt"));
        EXPECT_FALSE(Exists(desktop_ + "/Notes/b.md"));
        EXPECT_FALSE(Exists(desktop_ + "/EmptyDir"));
        EXPECT_EQ(engine.FailedTransfers(), 0) << engine.Log();
    }
}

TEST_F(KeepAndTrash, no_list_in_the_file_keeps_launchers_and_hidden_entries) {
    cOptions options = tmp_.Options(TransferMode::Delete);
    options.KeepPatterns(std::nullopt);
    tmp_.WriteSettings(options);
    const std::string launcher = Put("Apps/editor.desktop");
    const std::string hidden = Put(".config/x");
    const std::string plain = Put("Apps/notes.txt");
    EXPECT_EQ(engine_.Clean(), 1);
    EXPECT_TRUE(Exists(launcher));
    EXPECT_TRUE(Exists(hidden));
    EXPECT_FALSE(Exists(plain));
}

TEST_F(KeepAndTrash, trashed_files_are_listed_with_their_place_and_date_and_never_replace_each_other) {
    tmp_.SetEnv("XDG_DATA_HOME", tmp_.Path() + "/data");
    const std::string trash = tmp_.Path() + "/data/Trash";
    KeepSettings(tmp_, TransferMode::Trash, {});
    Put("a.txt", "top");
    Put("Sub/a.txt", "inner");
    EXPECT_EQ(engine_.Clean(), 2);
    EXPECT_EQ(engine_.FailedTransfers(), 0) << engine_.Log();
    EXPECT_EQ(events_.moving, (std::vector<std::string>{desktop_ + "/a.txt", desktop_ + "/Sub/a.txt"}));
    EXPECT_EQ(ReadFile(trash + "/files/a.txt"), "top");
    EXPECT_EQ(ReadFile(trash + "/files/a (2).txt"), "inner");
    const std::string date = fs::TrashDate(base_ + kDay);
    EXPECT_EQ(ReadFile(trash + "/info/a (2).txt.trashinfo"),
              "[Trash Info]\nPath=" + fs::TrashInfoPath(desktop_ + "/Sub/a.txt") + "\nDeletionDate=" + date + "\n");
    EXPECT_FALSE(Exists(desktop_ + "/Sub"));  // emptied, then removed
    EXPECT_FALSE(Exists(offload_ + "/a.txt"));
}

TEST_F(KeepAndTrash, trashes_lying_on_the_desktop_are_never_trashed_again_or_emptied) {
    // The home Trash in a data folder on the Desktop, and drives' own Trash
    // folders where a drive is mounted on the Desktop; ".Trash-x" is no
    // Trash's name and is cleaned like any folder.
    tmp_.SetEnv("XDG_DATA_HOME", desktop_ + "/data");
    KeepSettings(tmp_, TransferMode::Trash, {});
    Put("a.txt", "top");
    Put("usb/.Trash-1000/files/b.txt");
    Put("usb/.Trash-1000/info/b.txt.trashinfo");
    Put(".Trash/1000/files/c.txt");
    Dir("usb/.Trash-1000/expunged");
    Put("usb/.Trash-x/d.txt");
    EXPECT_EQ(engine_.Clean(), 2);
    EXPECT_FALSE(Exists(desktop_ + "/usb/.Trash-x"));
    const auto trashed = Snapshot(desktop_);
    ASSERT_EQ(trashed.count("data/Trash/files/a.txt"), 1u);
    for (const TransferMode mode : {TransferMode::Trash, TransferMode::Delete}) {
        SCOPED_TRACE(static_cast<int>(mode));
        KeepSettings(tmp_, mode, {});
        cTidyfold later;
        later.SetClock([&] { return base_ + 60 * kDay; });
        EXPECT_EQ(later.Clean(), std::nullopt);
        later.CleanUpFolders(desktop_);
        EXPECT_EQ(Snapshot(desktop_), trashed);
    }
}

constexpr const char* kSystemMount =
    "File managers keep no Trash on its drive (a system mount such as / or tmpfs), so it stays where it is.";

TEST_F(KeepAndTrash, a_file_with_no_usable_trash_is_logged_counted_and_stays) {
    if (Exists("/.Trash"))
        GTEST_SKIP() << "this machine has a shared /.Trash, which the test must not write to";
    // The home Trash on another file system (tmpfs), and the top folder of
    // the Desktop's own refusing a Trash, as a read-only drive would.
    TempDir elsewhere("/dev/shm");
    tmp_.SetEnv("XDG_DATA_HOME", elsewhere.Path());
    KeepSettings(tmp_, TransferMode::Trash, {});
    MakeDirs(offload_);
    const std::string stays = Put("stays.txt", "s");
    events_.onMoving = [](const std::string&) { fs::fault::Inject(fs::fault::Call::Mkdir, EROFS); };
    EXPECT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(engine_.FailedTransfers(), 1);
    // The Desktop of the tests lies on "/", a system mount for file
    // managers, which keep no Trash on it; elsewhere the top folder refuses.
    const bool system = engine_.Log().find("system mount") != std::string::npos;
    EXPECT_EQ(engine_.Log(), "Sending " + stays + " to the Trash FAILED.\r\n" +
                                 (system ? kSystemMount : "Its file system has no Trash you can use.") + "\r\n");
    EXPECT_EQ(ReadFile(stays), "s");
}

}  // namespace
}  // namespace tidyfold::test
