#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;
using Listing = FsTest;

TEST_F(Listing, sorts_entries_by_kind_without_following_links) {
    WriteFile(dir / "d/regular", "x");
    WriteFile(dir / "elsewhere/file", "y");
    Symlink(dir / "elsewhere/file", dir / "d/to-file");
    Symlink(dir / "elsewhere", dir / "d/to-folder");
    Symlink(dir / "nowhere", dir / "d/dangling");
    ASSERT_EQ(mkfifo((dir / "d/fifo").c_str(), 0644), 0);
    MakeSocket(dir / "d/socket");
    MakeDirs(dir / "d/sub");

    fs::Folder folder = fs::Folder::Get(dir / "d");
    EXPECT_EQ(SortedNames(folder.Files()),
              (std::vector<std::string>{"dangling", "regular", "to-file", "to-folder"}));
    EXPECT_EQ(SortedNames(folder.SubFolders()), std::vector<std::string>{"sub"});
    EXPECT_EQ(folder.EntryCount(), 7u);
    for (const fs::File& file : folder.Files())
        EXPECT_EQ(file.Path(), dir / "d/" + file.Name());
    EXPECT_EQ(folder.SubFolders().at(0).Path(), dir / "d/sub");
}

TEST_F(Listing, counts_special_entries_that_are_not_listed) {
    MakeDirs(dir / "d");
    ASSERT_EQ(mkfifo((dir / "d/fifo").c_str(), 0644), 0);
    fs::Folder folder = fs::Folder::Get(dir / "d");
    EXPECT_TRUE(folder.Files().empty());
    EXPECT_TRUE(folder.SubFolders().empty());
    EXPECT_EQ(folder.EntryCount(), 1u);
    MakeDirs(dir / "empty");
    EXPECT_EQ(fs::Folder::Get(dir / "empty").EntryCount(), 0u);
}

TEST_F(Listing, counts_a_device_node_too) {
    MakeDirs(dir / "d");
    if (mknod((dir / "d/null").c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        GTEST_SKIP() << "device nodes cannot be made here: " << std::strerror(errno);
    fs::Folder folder = fs::Folder::Get(dir / "d");
    EXPECT_TRUE(folder.Files().empty());
    EXPECT_EQ(folder.EntryCount(), 1u);
    EXPECT_EQ(ThrownErrno([&] { folder.Delete(fs::Force::No); }), ENOTEMPTY);
    folder.Delete(fs::Force::Yes);
    EXPECT_FALSE(Exists(dir / "d"));
}

TEST_F(Listing, keeps_every_name_byte_for_byte) {
    const std::vector<std::string> names = {"back\\slash", "new\nline", std::string("\xff\xfe bad"),
                                            ".hidden", " lead space", "*?[]"};
    for (const std::string& name : names)
        WriteFile(dir / "d/" + name, name);
    MakeDirs(dir / "d/sub\\dir\n\xc3");
    fs::Folder folder = fs::Folder::Get(dir / "d");
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedNames(folder.Files()), expected);
    for (const fs::File& file : folder.Files()) {
        EXPECT_EQ(ReadFile(file.Path()), file.Name());
        EXPECT_EQ(file.Size(), file.Name().size());
    }
    ASSERT_EQ(folder.SubFolders().size(), 1u);
    EXPECT_EQ(folder.SubFolders()[0].Name(), "sub\\dir\n\xc3");
    EXPECT_EQ(fs::Folder::Get(folder.SubFolders()[0].Path()).EntryCount(), 0u);
}

TEST_F(Listing, get_refuses_what_is_not_a_real_folder) {
    WriteFile(dir / "file", "x");
    MakeDirs(dir / "real");
    Symlink(dir / "real", dir / "link");
    EXPECT_EQ(ThrownErrno([&] { fs::Folder::Get(dir / "missing"); }), ENOENT);
    EXPECT_EQ(ThrownErrno([&] { fs::Folder::Get(dir / "file"); }), ENOTDIR);
    EXPECT_EQ(ThrownErrno([&] { fs::Folder::Get(dir / "link"); }), ENOTDIR);
    // A trailing slash would make the system resolve the link.
    EXPECT_EQ(ThrownErrno([&] { fs::Folder::Get(dir / "link/"); }), ENOTDIR);
    EXPECT_EQ(fs::Folder::Get(dir / "real//").Path(), dir / "real");
    EXPECT_EQ(fs::Folder::Get(dir / "real/").Name(), "real");
}

TEST_F(Listing, children_of_the_root_have_single_slashes) {
    bool sawTmp = false;
    for (const fs::Folder& folder : fs::Folder::Get("/").SubFolders())
        sawTmp = sawTmp || folder.Path() == "/tmp";
    EXPECT_TRUE(sawTmp);
}

TEST_F(Listing, reports_failures_of_the_system) {
    MakeDirs(dir / "d");
    WriteFile(dir / "d/f", "x");
    fs::Folder folder = fs::Folder::Get(dir / "d");
    fs::fault::Inject(Call::Readdir, EIO, 2);
    EXPECT_EQ(ThrownErrno([&] { folder.Files(); }), EIO);
    fs::fault::Inject(Call::Fstat, ENOMEM);
    EXPECT_EQ(ThrownErrno([&] { folder.SubFolders(); }), ENOMEM);
    fs::fault::Inject(Call::Open, EMFILE);
    EXPECT_EQ(ThrownErrno([&] { folder.EntryCount(); }), EMFILE);
    EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST_F(Listing, an_unreadable_folder_fails_for_its_user) {
    MakeDirs(dir / "locked");
    WriteFile(dir / "locked/f", "x");
    Chmod(dir / "locked", 0700);
    EXPECT_EQ(RunUnprivileged([&] {
                  fs::Folder folder = fs::Folder::Get(dir / "locked");
                  EXPECT_EQ(ThrownErrno([&] { folder.Files(); }), EACCES);
              }),
              0);
}

using FolderExists = FsTest;

TEST_F(FolderExists, only_for_a_real_folder) {
    MakeDirs(dir / "real");
    WriteFile(dir / "file", "x");
    Symlink(dir / "real", dir / "link");
    EXPECT_TRUE(fs::FolderExists(dir / "real"));
    EXPECT_TRUE(fs::FolderExists(dir / "real/"));
    EXPECT_FALSE(fs::FolderExists(dir / "link"));
    EXPECT_FALSE(fs::FolderExists(dir / "link/"));
    EXPECT_FALSE(fs::FolderExists(dir / "file"));
    EXPECT_FALSE(fs::FolderExists(dir / "missing"));
    EXPECT_FALSE(fs::FolderExists(""));
}

using CreateFolder = FsTest;

TEST_F(CreateFolder, makes_one_level) {
    fs::CreateFolder(dir / "new");
    EXPECT_TRUE(fs::FolderExists(dir / "new"));
    fs::CreateFolder(dir / "new/odd\\name\n");
    EXPECT_TRUE(fs::FolderExists(dir / "new/odd\\name\n"));
}

TEST_F(CreateFolder, fails_on_a_missing_parent_or_a_taken_name) {
    WriteFile(dir / "file", "x");
    MakeDirs(dir / "taken");
    Symlink(dir / "nowhere", dir / "dangling");
    EXPECT_EQ(ThrownErrno([&] { fs::CreateFolder(dir / "no/such"); }), ENOENT);
    EXPECT_EQ(ThrownErrno([&] { fs::CreateFolder(dir / "file"); }), EEXIST);
    EXPECT_EQ(ThrownErrno([&] { fs::CreateFolder(dir / "taken"); }), EEXIST);
    // mkdir never creates through a link.
    EXPECT_EQ(ThrownErrno([&] { fs::CreateFolder(dir / "dangling"); }), EEXIST);
    EXPECT_FALSE(Exists(dir / "nowhere"));
    EXPECT_EQ(ReadFile(dir / "file"), "x");
}

TEST_F(CreateFolder, is_refused_in_a_folder_of_another_user) {
    EXPECT_EQ(RunUnprivileged([&] {
                  EXPECT_EQ(ThrownErrno([&] { fs::CreateFolder(dir / "mine"); }), EACCES);
              }),
              0);
    EXPECT_FALSE(Exists(dir / "mine"));
}

}  // namespace
}  // namespace tidyfold::test
