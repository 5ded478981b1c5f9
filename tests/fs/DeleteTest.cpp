#include <sched.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::Force;
using fs::fault::Call;
using DeleteFile = FsTest;
using DeleteFolder = FsTest;

TEST_F(DeleteFile, unforced_refuses_a_write_protected_file) {
    WriteFile(dir / "ro", "keep");
    Chmod(dir / "ro", 0444);
    try {
        fs::File(dir / "ro").Delete(Force::No);
        ADD_FAILURE() << "deleted";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), EACCES);
        EXPECT_EQ(error.Description(), "Permission denied");
        EXPECT_EQ(error.Path(), dir / "ro");
    }
    EXPECT_EQ(ReadFile(dir / "ro"), "keep");
    EXPECT_EQ(fs::DeleteFile(dir / "ro"), EACCES);
    EXPECT_TRUE(Exists(dir / "ro"));

    fs::File(dir / "ro").Delete(Force::Yes);
    EXPECT_FALSE(Exists(dir / "ro"));
}

TEST_F(DeleteFile, removes_writable_files_and_links_but_not_link_targets) {
    WriteFile(dir / "w", "x");
    WriteFile(dir / "target", "t");
    Chmod(dir / "target", 0444);
    Symlink(dir / "target", dir / "link");
    Symlink(dir / "nowhere", dir / "dangling");
    fs::File(dir / "w").Delete(Force::No);
    // A link's own mode is never write-protected, whatever its target's is.
    fs::File(dir / "link").Delete(Force::No);
    EXPECT_EQ(fs::DeleteFile(dir / "dangling"), 0);
    EXPECT_FALSE(Exists(dir / "w"));
    EXPECT_FALSE(Exists(dir / "link"));
    EXPECT_FALSE(Exists(dir / "dangling"));
    EXPECT_EQ(ReadFile(dir / "target"), "t");
}

TEST_F(DeleteFile, reports_missing_entries_and_folders) {
    MakeDirs(dir / "folder");
    EXPECT_EQ(fs::DeleteFile(dir / "gone"), ENOENT);
    EXPECT_EQ(fs::DeleteFile(dir / "folder"), EISDIR);
    EXPECT_EQ(ThrownErrno([&] { fs::File(dir / "folder").Delete(Force::Yes); }), EISDIR);
    EXPECT_TRUE(fs::FolderExists(dir / "folder"));
}

TEST_F(DeleteFile, refusals_of_the_system_are_reported) {
    WriteFile(dir / "f", "x");
    fs::fault::Inject(Call::Unlink, EBUSY);
    EXPECT_EQ(fs::DeleteFile(dir / "f"), EBUSY);
    fs::fault::Inject(Call::Unlink, EROFS);
    EXPECT_EQ(ThrownErrno([&] { fs::File(dir / "f").Delete(Force::Yes); }), EROFS);
    EXPECT_TRUE(Exists(dir / "f"));
    // For real: another user's folder.
    EXPECT_EQ(RunUnprivileged([&] {
                  EXPECT_EQ(fs::DeleteFile(dir / "f"), EACCES);
                  EXPECT_EQ(ThrownErrno([&] { fs::File(dir / "f").Delete(Force::Yes); }), EACCES);
              }),
              0);
    EXPECT_TRUE(Exists(dir / "f"));
}

TEST_F(DeleteFolder, unforced_removes_only_an_empty_writable_folder) {
    MakeDirs(dir / "empty");
    MakeDirs(dir / "full/sub");
    MakeDirs(dir / "special");
    ASSERT_EQ(mkfifo((dir / "special/fifo").c_str(), 0644), 0);
    MakeDirs(dir / "protected");
    Chmod(dir / "protected", 0555);

    fs::Folder::Get(dir / "empty").Delete(Force::No);
    EXPECT_FALSE(Exists(dir / "empty"));
    EXPECT_EQ(ThrownErrno([&] { fs::Folder::Get(dir / "full").Delete(Force::No); }), ENOTEMPTY);
    EXPECT_EQ(ThrownErrno([&] { fs::Folder::Get(dir / "special").Delete(Force::No); }),
              ENOTEMPTY);
    EXPECT_EQ(ThrownErrno([&] { fs::Folder::Get(dir / "protected").Delete(Force::No); }), EACCES);
    EXPECT_TRUE(fs::FolderExists(dir / "full/sub"));
    EXPECT_TRUE(Exists(dir / "special/fifo"));
    EXPECT_TRUE(fs::FolderExists(dir / "protected"));
}

// A tree with every kind of entry, protections, and links that lead outside.
void BuildHostileTree(const TempDir& dir) {
    WriteFile(dir / "outside/file", "precious");
    WriteFile(dir / "outside/folder/inner", "precious too");
    Chmod(dir / "outside/file", 0444);
    WriteFile(dir / "tree/a.txt", "a");
    WriteFile(dir / "tree/ro.txt", "ro");
    Chmod(dir / "tree/ro.txt", 0444);
    WriteFile(dir / "tree/deep/er/est/file", "f");
    WriteFile(dir / "tree/locked/inside", "l");
    WriteFile(dir / "tree/readonly-folder/inside", "r");
    Symlink(dir / "outside/file", dir / "tree/link-to-file");
    Symlink(dir / "outside/folder", dir / "tree/deep/link-to-folder");
    Symlink(dir / "nowhere", dir / "tree/dangling");
    ASSERT_EQ(mkfifo((dir / "tree/fifo").c_str(), 0644), 0);
    MakeSocket(dir / "tree/deep/socket");
    WriteFile(dir / "tree/odd\\name\n\xff", "o");
    Chmod(dir / "tree/readonly-folder", 0555);
    Chmod(dir / "tree/locked", 0);
    Chmod(dir / "outside/folder", 0555);
    Chmod(dir / "tree", 0555);
}

void ExpectOutsideIntact(const TempDir& dir) {
    EXPECT_EQ(ReadFile(dir / "outside/file"), "precious");
    EXPECT_EQ(ModeOf(dir / "outside/file"), 0444u);
    EXPECT_EQ(ReadFile(dir / "outside/folder/inner"), "precious too");
    EXPECT_EQ(ModeOf(dir / "outside/folder"), 0555u);
}

TEST_F(DeleteFolder, forced_removes_everything_inside_without_following_links) {
    BuildHostileTree(dir);
    fs::Folder::Get(dir / "tree").Delete(Force::Yes);
    EXPECT_FALSE(Exists(dir / "tree"));
    ExpectOutsideIntact(dir);
}

TEST_F(DeleteFolder, forced_works_for_the_owner_without_privileges) {
    BuildHostileTree(dir);
    Chmod(dir.Path(), 0777);
    ASSERT_EQ(system(("chown -R -h 65534:65534 '" + dir / "tree'").c_str()), 0);
    EXPECT_EQ(RunUnprivileged([&] { fs::Folder::Get(dir / "tree").Delete(Force::Yes); }), 0);
    EXPECT_FALSE(Exists(dir / "tree"));
    ExpectOutsideIntact(dir);
}

TEST_F(DeleteFolder, forced_stops_at_what_the_user_may_not_remove) {
    WriteFile(dir / "tree/rootsub/kept", "k");
    Chmod(dir / "tree/rootsub", 0555);
    Chmod(dir.Path(), 0777);
    GiveToNobody(dir / "tree");
    EXPECT_EQ(RunUnprivileged([&] {
                  try {
                      fs::Folder::Get(dir / "tree").Delete(Force::Yes);
                      ADD_FAILURE() << "deleted";
                  } catch (const Error& error) {
                      EXPECT_EQ(error.Number(), EPERM) << error.what();
                      EXPECT_EQ(error.Path(), dir / "tree/rootsub");
                  }
              }),
              0);
    EXPECT_EQ(ReadFile(dir / "tree/rootsub/kept"), "k");
}

TEST_F(DeleteFolder, forced_never_empties_another_mounted_file_system) {
    WriteFile(dir / "tree/a", "a");
    MakeDirs(dir / "tree/mnt");
    int status = WithTmpfsMounted(dir / "tree/mnt", [&] {
        WriteFile(dir / "tree/mnt/on-another-disk", "precious");
        int error = ThrownErrno([&] { fs::Folder::Get(dir / "tree").Delete(Force::Yes); });
        return error == EBUSY && ReadFile(dir / "tree/mnt/on-another-disk") == "precious";
    });
    if (status == 77)
        GTEST_SKIP() << "mounting is not allowed here";
    EXPECT_EQ(status, 0);
}

// A chain of folders whose full path is far longer than the system accepts
// in one call: only work relative to open folders can remove it.
TEST_F(DeleteFolder, forced_removes_a_tree_deeper_than_any_path) {
    constexpr int kDepth = 1000;  // 1000 * "dddd/" is beyond PATH_MAX
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur < kDepth + 100 && limit.rlim_max >= kDepth + 100) {
        limit.rlim_cur = kDepth + 100;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur < kDepth + 100)
        GTEST_SKIP() << "too few descriptors allowed";
    MakeDirs(dir / "tree");
    int fd = open((dir / "tree").c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < kDepth && fd >= 0; ++level) {
        ASSERT_EQ(mkdirat(fd, "dddd", 0755), 0);
        int next = openat(fd, "dddd", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    ASSERT_EQ(close(openat(fd, "leaf", O_WRONLY | O_CREAT, 0444)), 0);
    close(fd);
    fs::Folder::Get(dir / "tree").Delete(Force::Yes);
    EXPECT_FALSE(Exists(dir / "tree"));
}

TEST_F(DeleteFolder, a_folder_swapped_for_a_link_is_not_emptied) {
    WriteFile(dir / "victim/data", "precious");
    MakeDirs(dir / "tree");
    fs::Folder folder = fs::Folder::Get(dir / "tree");
    ASSERT_EQ(rmdir((dir / "tree").c_str()), 0);
    Symlink(dir / "victim", dir / "tree");
    EXPECT_EQ(ThrownErrno([&] { folder.Delete(Force::Yes); }), ENOTDIR);
    EXPECT_EQ(ThrownErrno([&] { folder.Delete(Force::No); }), ENOTDIR);
    EXPECT_EQ(ReadFile(dir / "victim/data"), "precious");
    EXPECT_TRUE(Exists(dir / "tree"));
}

TEST_F(DeleteFolder, forced_reports_the_entry_that_failed) {
    WriteFile(dir / "tree/sub/file", "x");
    fs::fault::Inject(Call::Unlink, EIO);
    try {
        fs::Folder::Get(dir / "tree").Delete(Force::Yes);
        ADD_FAILURE() << "deleted";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), EIO);
        EXPECT_EQ(error.Path(), dir / "tree/sub/file");
    }
    EXPECT_EQ(ReadFile(dir / "tree/sub/file"), "x");

    fs::fault::Inject(Call::Rmdir, EBUSY, 2);
    EXPECT_EQ(ThrownErrno([&] { fs::Folder::Get(dir / "tree").Delete(Force::Yes); }), EBUSY);
    EXPECT_FALSE(Exists(dir / "tree/sub"));
    EXPECT_TRUE(Exists(dir / "tree"));

    fs::fault::Inject(Call::Readdir, EIO);
    EXPECT_EQ(ThrownErrno([&] { fs::Folder::Get(dir / "tree").Delete(Force::Yes); }), EIO);
    fs::Folder::Get(dir / "tree").Delete(Force::Yes);
    EXPECT_FALSE(Exists(dir / "tree"));
}

TEST_F(DeleteFolder, unforced_is_refused_for_real_in_another_users_folder) {
    MakeDirs(dir / "parent/child");
    Chmod(dir / "parent/child", 0777);
    EXPECT_EQ(RunUnprivileged([&] {
                  EXPECT_EQ(ThrownErrno([&] {
                                fs::Folder::Get(dir / "parent/child").Delete(Force::No);
                            }),
                            EACCES);
              }),
              0);
    EXPECT_TRUE(fs::FolderExists(dir / "parent/child"));
}

}  // namespace
}  // namespace tidyfold::test
