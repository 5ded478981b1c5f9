#include <sys/stat.h>

#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;
using WholeFile = FsTest;

TEST_F(WholeFile, round_trips_any_bytes) {
    std::string text("a\r\nb\0c\xff", 7);
    fs::WriteFileAtomically(dir / "f", text);
    EXPECT_EQ(fs::ReadWholeFile(dir / "f"), text);
    EXPECT_EQ(ReadFile(dir / "f"), text);
    fs::WriteFileAtomically(dir / "f", "");
    EXPECT_EQ(fs::ReadWholeFile(dir / "f"), "");
    std::string big(300000, 'b');
    fs::WriteFileAtomically(dir / "f", big);
    EXPECT_EQ(fs::ReadWholeFile(dir / "f"), big);
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
}

TEST_F(WholeFile, replacing_keeps_the_files_mode) {
    WriteFile(dir / "settings.ini", "old");
    Chmod(dir / "settings.ini", 0600);
    fs::WriteFileAtomically(dir / "settings.ini", "new");
    EXPECT_EQ(ReadFile(dir / "settings.ini"), "new");
    EXPECT_EQ(ModeOf(dir / "settings.ini"), 0600u);
}

TEST_F(WholeFile, a_failed_write_keeps_the_old_file) {
    WriteFile(dir / "settings.ini", "old");
    const std::vector<std::pair<Call, int>> faults = {
        {Call::Open, EMFILE},  {Call::Write, ENOSPC}, {Call::Fsync, EIO},
        {Call::Close, EIO},    {Call::Rename, EROFS}, {Call::Chmod, EPERM},
    };
    for (auto [call, errnum] : faults) {
        SCOPED_TRACE(std::string(fs::fault::Name(call)));
        fs::fault::Reset();
        // The first open is the folder's; the temporary file is the second.
        fs::fault::Inject(call, errnum, call == Call::Open ? 2 : 1);
        try {
            fs::WriteFileAtomically(dir / "settings.ini", "new");
            ADD_FAILURE() << "written";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), errnum);
            EXPECT_EQ(error.Path(), dir / "settings.ini");
        }
        EXPECT_EQ(ReadFile(dir / "settings.ini"), "old");
        EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
    }
}

TEST_F(WholeFile, interrupted_and_short_writes_are_completed) {
    fs::fault::Inject(Call::Write, EINTR);
    fs::WriteFileAtomically(dir / "f", "complete");
    EXPECT_EQ(ReadFile(dir / "f"), "complete");
    fs::fault::Inject(Call::Read, EINTR);
    EXPECT_EQ(fs::ReadWholeFile(dir / "f"), "complete");
}

TEST_F(WholeFile, write_fails_for_a_missing_or_foreign_folder) {
    EXPECT_EQ(ThrownErrno([&] { fs::WriteFileAtomically(dir / "no/f", "x"); }), ENOENT);
    MakeDirs(dir / "folder");
    EXPECT_EQ(ThrownErrno([&] { fs::WriteFileAtomically(dir / "folder", "x"); }), EISDIR);
    EXPECT_TRUE(fs::FolderExists(dir / "folder"));
    WriteFile(dir / "settings.ini", "old");
    Chmod(dir / "settings.ini", 0666);
    EXPECT_EQ(RunUnprivileged([&] {
                  auto write = [&] { fs::WriteFileAtomically(dir / "settings.ini", "x"); };
                  EXPECT_EQ(ThrownErrno(write), EACCES);
              }),
              0);
    EXPECT_EQ(ReadFile(dir / "settings.ini"), "old");
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
}

TEST_F(WholeFile, read_refuses_what_is_not_a_plain_file) {
    WriteFile(dir / "target", "t");
    Symlink(dir / "target", dir / "link");
    MakeDirs(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    EXPECT_EQ(ThrownErrno([&] { fs::ReadWholeFile(dir / "gone"); }), ENOENT);
    EXPECT_EQ(ThrownErrno([&] { fs::ReadWholeFile(dir / "link"); }), ELOOP);
    EXPECT_EQ(ThrownErrno([&] { fs::ReadWholeFile(dir / "folder"); }), EISDIR);
    EXPECT_EQ(ThrownErrno([&] { fs::ReadWholeFile(dir / "fifo"); }), EINVAL);
    fs::fault::Inject(Call::Read, EIO);
    EXPECT_EQ(ThrownErrno([&] { fs::ReadWholeFile(dir / "target"); }), EIO);
    // Cut short by the file system: a settings text cut in a value is no
    // text to load.
    WriteFile(dir / "settings", "[TYFL]\nTrashPath=/home/ann/Trash\n" + std::string(70000, '#'));
    fs::fault::Inject(Call::Read, fs::fault::kEndOfData, 2);
    EXPECT_EQ(ThrownErrno([&] { fs::ReadWholeFile(dir / "settings"); }), EIO);
}

TEST_F(WholeFile, read_or_create_makes_a_missing_file_empty) {
    EXPECT_EQ(fs::ReadOrCreateFile(dir / "compressed.lst"), "");
    EXPECT_TRUE(Exists(dir / "compressed.lst"));
    EXPECT_EQ(fs::File(dir / "compressed.lst").Size(), 0u);
    WriteFile(dir / "compressed.lst", "zip,rar,");
    EXPECT_EQ(fs::ReadOrCreateFile(dir / "compressed.lst"), "zip,rar,");
    EXPECT_EQ(ThrownErrno([&] { fs::ReadOrCreateFile(dir / "no/compressed.lst"); }), ENOENT);
    // Never creates through a dangling link.
    Symlink(dir / "elsewhere", dir / "dangling");
    EXPECT_NE(ThrownErrno([&] { fs::ReadOrCreateFile(dir / "dangling"); }), 0);
    EXPECT_FALSE(Exists(dir / "elsewhere"));
}

TEST_F(WholeFile, read_or_create_fails_where_it_may_not_create) {
    EXPECT_EQ(RunUnprivileged([&] {
                  EXPECT_EQ(ThrownErrno([&] { fs::ReadOrCreateFile(dir / "compressed.lst"); }),
                            EACCES);
              }),
              0);
    EXPECT_FALSE(Exists(dir / "compressed.lst"));
    fs::fault::Inject(Call::Open, EROFS, 2);
    EXPECT_EQ(ThrownErrno([&] { fs::ReadOrCreateFile(dir / "compressed.lst"); }), EROFS);
}

}  // namespace
}  // namespace tidyfold::test
