#include <fcntl.h>
#include <sys/stat.h>

#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;
using MoveByPaths = FsTest;

TEST_F(MoveByPaths, renames_within_a_file_system) {
    WriteFile(dir / "src", "data");
    MakeDirs(dir / "out");
    EXPECT_EQ(MoveByPath(dir / "src", dir / "out/dst"), 0);
    EXPECT_FALSE(Exists(dir / "src"));
    EXPECT_EQ(ReadFile(dir / "out/dst"), "data");
}

TEST_F(MoveByPaths, never_replaces_the_destination) {
    WriteFile(dir / "src", "new");
    WriteFile(dir / "dst", "old");
    Symlink(dir / "nowhere", dir / "dangling");
    EXPECT_EQ(MoveByPath(dir / "src", dir / "dst"), EEXIST);
    EXPECT_EQ(MoveByPath(dir / "src", dir / "dangling"), EEXIST);
    EXPECT_EQ(MoveByPath(dir / "src", dir / "src"), EEXIST);
    EXPECT_EQ(ReadFile(dir / "src"), "new");
    EXPECT_EQ(ReadFile(dir / "dst"), "old");
    EXPECT_EQ(LinkText(dir / "dangling"), dir / "nowhere");
}

TEST_F(MoveByPaths, moves_a_link_as_a_link) {
    WriteFile(dir / "target", "t");
    Symlink("../target", dir / "link");
    MakeDirs(dir / "out");
    EXPECT_EQ(MoveByPath(dir / "link", dir / "out/link"), 0);
    EXPECT_EQ(LinkText(dir / "out/link"), "../target");
    EXPECT_EQ(ReadFile(dir / "target"), "t");
    EXPECT_EQ(MoveByPath(dir / "gone", dir / "out/gone"), ENOENT);
}

TEST_F(MoveByPaths, links_then_unlinks_where_the_no_replace_rename_is_missing) {
    WriteFile(dir / "src", "data");
    WriteFile(dir / "taken", "old");
    fs::fault::Inject(Call::Rename, ENOSYS);
    EXPECT_EQ(MoveByPath(dir / "src", dir / "dst"), 0);
    EXPECT_FALSE(Exists(dir / "src"));
    EXPECT_EQ(ReadFile(dir / "dst"), "data");
    fs::fault::Inject(Call::Rename, EINVAL);
    EXPECT_EQ(MoveByPath(dir / "dst", dir / "taken"), EEXIST);
    EXPECT_EQ(ReadFile(dir / "dst"), "data");
    EXPECT_EQ(ReadFile(dir / "taken"), "old");
    // A failed unlink of the source takes the new name away again.
    fs::fault::Inject(Call::Rename, ENOSYS);
    fs::fault::Inject(Call::Unlink, EBUSY);
    EXPECT_EQ(MoveByPath(dir / "dst", dir / "other"), EBUSY);
    EXPECT_EQ(ReadFile(dir / "dst"), "data");
    EXPECT_FALSE(Exists(dir / "other"));
}

TEST_F(MoveByPaths, across_file_systems_copies_durably_then_removes_the_source) {
    WriteFile(dir / "src", std::string(3 << 20, 'q'));
    Chmod(dir / "src", 0604);
    const timespec times[2] = {{5000, 6}, {7000, 8}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "src").c_str(), times, 0), 0);
    MakeDirs(dir / "out");
    fs::fault::Inject(Call::Rename, EXDEV);
    EXPECT_EQ(MoveByPath(dir / "src", dir / "out/dst"), 0);
    EXPECT_FALSE(Exists(dir / "src"));
    EXPECT_EQ(ReadFile(dir / "out/dst"), std::string(3 << 20, 'q'));
    EXPECT_EQ(ModeOf(dir / "out/dst"), 0604u);
    EXPECT_EQ(fs::File(dir / "out/dst").Times().modify_ns, 7000000000008LL);
    EXPECT_GE(fs::fault::Uses(Call::Fsync), 2);  // the file, then its folder
    EXPECT_TRUE(TempFilesIn(dir / "out").empty());
}

TEST_F(MoveByPaths, across_file_systems_never_replaces_either) {
    WriteFile(dir / "src", "new");
    WriteFile(dir / "dst", "old");
    fs::fault::Inject(Call::Rename, EXDEV);
    EXPECT_EQ(MoveByPath(dir / "src", dir / "dst"), EEXIST);
    EXPECT_EQ(fs::fault::Uses(Call::Open), 2);  // the two folders: refused before any copy
    // Even when the destination appears only after the check (the first
    // stat looks at the source, the second at the destination).
    fs::fault::Inject(Call::Rename, EXDEV);
    fs::fault::Inject(Call::Lstat, ENOENT, 2);
    EXPECT_EQ(MoveByPath(dir / "src", dir / "dst"), EEXIST);
    EXPECT_EQ(ReadFile(dir / "src"), "new");
    EXPECT_EQ(ReadFile(dir / "dst"), "old");
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
}

TEST_F(MoveByPaths, across_file_systems_a_failure_keeps_the_source_only) {
    WriteFile(dir / "src", "data");
    const std::vector<std::pair<Call, int>> faults = {
        {Call::Fsync, EIO}, {Call::Unlink, EACCES}, {Call::CopyFileRange, ENOSPC}};
    for (auto [call, errnum] : faults) {
        SCOPED_TRACE(std::string(fs::fault::Name(call)));
        fs::fault::Reset();
        fs::fault::Inject(Call::Rename, EXDEV);
        fs::fault::Inject(call, errnum);
        EXPECT_EQ(MoveByPath(dir / "src", dir / "dst"), errnum);
        EXPECT_EQ(ReadFile(dir / "src"), "data");
        EXPECT_FALSE(Exists(dir / "dst"));
        EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
    }
    // A folder flush that fails after the copy is in place undoes it too.
    fs::fault::Reset();
    fs::fault::Inject(Call::Rename, EXDEV);
    fs::fault::Inject(Call::Fsync, EIO, 2);
    EXPECT_EQ(MoveByPath(dir / "src", dir / "dst"), EIO);
    EXPECT_EQ(ReadFile(dir / "src"), "data");
    EXPECT_FALSE(Exists(dir / "dst"));
}

TEST_F(MoveByPaths, across_real_file_systems) {
    struct stat tmp {}, shm {};
    if (stat("/dev/shm", &shm) != 0 || stat(dir.Path().c_str(), &tmp) != 0 ||
        shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    char pattern[] = "/dev/shm/tidyfold-move-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string other = pattern;
    WriteFile(dir / "src", "across");
    WriteFile(dir / "kept", "kept");
    WriteFile(other + "/taken", "old");
    Symlink("some/where", dir / "link");

    EXPECT_EQ(MoveByPath(dir / "src", other + "/dst"), 0);
    EXPECT_EQ(MoveByPath(dir / "link", other + "/link"), 0);
    EXPECT_EQ(MoveByPath(dir / "kept", other + "/taken"), EEXIST);
    EXPECT_FALSE(Exists(dir / "src"));
    EXPECT_FALSE(Exists(dir / "link"));
    EXPECT_EQ(ReadFile(other + "/dst"), "across");
    EXPECT_EQ(LinkText(other + "/link"), "some/where");
    EXPECT_EQ(ReadFile(dir / "kept"), "kept");
    EXPECT_EQ(ReadFile(other + "/taken"), "old");
    EXPECT_TRUE(TempFilesIn(other).empty());
    RemoveTree(other);
}

TEST_F(MoveByPaths, is_refused_for_real_out_of_another_users_folder) {
    WriteFile(dir / "theirs/f", "x");
    MakeDirs(dir / "mine");
    GiveToNobody(dir / "mine");
    EXPECT_EQ(RunUnprivileged([&] {
                  EXPECT_EQ(MoveByPath(dir / "theirs/f", dir / "mine/f"), EACCES);
              }),
              0);
    EXPECT_EQ(ReadFile(dir / "theirs/f"), "x");
    EXPECT_FALSE(Exists(dir / "mine/f"));
}

}  // namespace
}  // namespace tidyfold::test
