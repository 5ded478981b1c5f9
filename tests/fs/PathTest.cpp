#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

TEST(ParentPath, splits_on_the_last_slash_only) {
    EXPECT_EQ(fs::ParentPath("/a/b"), "/a");
    EXPECT_EQ(fs::ParentPath("/a"), "/");
    EXPECT_EQ(fs::ParentPath("/"), "/");
    EXPECT_EQ(fs::ParentPath("name"), "");
    EXPECT_EQ(fs::ParentPath("a/b"), "a");
    EXPECT_EQ(fs::ParentPath("/a/b/"), "/a");
    EXPECT_EQ(fs::ParentPath("/a//b"), "/a");
    // A backslash is a character of a name, not a separator.
    EXPECT_EQ(fs::ParentPath("/a\\b\\c"), "/");
    EXPECT_EQ(fs::ParentPath("/x/a\\b"), "/x");
}

TEST(FileName, is_the_text_after_the_last_slash) {
    EXPECT_EQ(fs::File("/a/b.txt").Name(), "b.txt");
    EXPECT_EQ(fs::File("/a/b\\c").Name(), "b\\c");
    EXPECT_EQ(fs::File("plain").Name(), "plain");
}

using ApplicationFolder = FsTest;

TEST_F(ApplicationFolder, is_the_folder_of_the_running_executable) {
    std::string folder = fs::ApplicationFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(Exists(folder + "/fs_tests"));
}

TEST_F(ApplicationFolder, can_be_pointed_elsewhere_and_back) {
    std::string real = fs::ApplicationFolder();
    fs::SetApplicationFolderForTesting(dir.Path() + "/");
    EXPECT_EQ(fs::ApplicationFolder(), dir.Path());
    fs::SetApplicationFolderForTesting("");
    EXPECT_EQ(fs::ApplicationFolder(), real);
}

TEST_F(ApplicationFolder, reports_an_unreadable_executable_link) {
    fs::fault::Inject(fs::fault::Call::Readlink, EACCES);
    EXPECT_EQ(ThrownErrno([] { fs::ApplicationFolder(); }), EACCES);
}

}  // namespace
}  // namespace tidyfold::test
