#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;
using MakeFolders = FsTest;

TEST_F(MakeFolders, missing_folders_are_made_with_the_mode_and_existing_ones_kept) {
    MakeDirs(dir / "a");
    Chmod(dir / "a", 0755);
    fs::CreateFolderPath(dir / "a/b/c", 0700);
    EXPECT_EQ(ModeOf(dir / "a"), 0755u);
    EXPECT_EQ(ModeOf(dir / "a/b"), 0700u);
    EXPECT_EQ(ModeOf(dir / "a/b/c"), 0700u);
    fs::CreateFolderPath(dir / "a/b/c/", 0700);  // all there: nothing to do
    EXPECT_TRUE(fs::EntryExists(dir / "a/b/c"));
    EXPECT_FALSE(fs::EntryExists(dir / "a/b/c/d"));
}

TEST_F(MakeFolders, a_link_to_a_folder_is_followed_and_a_file_or_relative_path_refused) {
    MakeDirs(dir / "target");
    Symlink(dir / "target", dir / "link");
    fs::CreateFolderPath(dir / "link/made", 0700);
    EXPECT_EQ(ModeOf(dir / "target/made"), 0700u);
    EXPECT_TRUE(fs::EntryExists(dir / "link")) << "a link is an entry";

    WriteFile(dir / "file", "x");
    EXPECT_EQ(ThrownErrno([&] { fs::CreateFolderPath(dir / "file/sub", 0700); }), ENOTDIR);
    EXPECT_EQ(ThrownErrno([] { fs::CreateFolderPath("relative/path", 0700); }), EINVAL);
}

TEST_F(MakeFolders, a_failing_call_names_the_folder_it_was_making) {
    const std::vector<std::pair<Call, int>> faults = {{Call::Mkdir, EROFS}, {Call::Fsync, EIO}, {Call::Open, EACCES}};
    for (auto [call, errnum] : faults) {
        SCOPED_TRACE(std::string(fs::fault::Name(call)));
        RemoveTree(dir / "x");
        fs::fault::Reset();
        // The last open of the walk is the new folder's, after its mkdir.
        const int opens = static_cast<int>(std::count(dir.Path().begin(), dir.Path().end(), '/')) + 3;
        fs::fault::Inject(call, errnum, call == Call::Open ? opens : 1);
        try {
            fs::CreateFolderPath(dir / "x", 0700);
            ADD_FAILURE() << "made";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), errnum);
            EXPECT_EQ(error.Path(), dir / "x");
        }
    }
}

}  // namespace
}  // namespace tidyfold::test
