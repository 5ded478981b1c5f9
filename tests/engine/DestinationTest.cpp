// Where an offloaded file lands.

#include <gtest/gtest.h>

#include <cerrno>

#include "base/Error.h"
#include "tests/engine/EngineFixture.h"

namespace tidyfold::test {
namespace {

class Destination : public EngineTest {
protected:
    std::string For(const std::string& path) { return engine_.RetainDirStructure(fs::File(path)); }
    void SetUp() override {
        EngineTest::SetUp();
        engine_.Options()->OffloadPath(offload_);
    }
};

TEST_F(Destination, file_directly_on_the_desktop_creates_nothing) {
    EXPECT_EQ(For(desktop_ + "/x.txt"), offload_ + "/x.txt");
    EXPECT_EQ(For(desktop_ + "/a\\b.txt"), offload_ + "/a\\b.txt");  // a backslash is a name byte
    EXPECT_FALSE(Exists(offload_));
}

TEST_F(Destination, missing_folders_are_created_outermost_first) {
    MakeDirs(offload_);
    EXPECT_EQ(For(desktop_ + "/a/b/x.txt"), offload_ + "/a/b/x.txt");
    EXPECT_TRUE(fs::FolderExists(offload_ + "/a/b"));
    // Existing folders are reused as they are.
    WriteFile(offload_ + "/a/b/marker", "m");
    EXPECT_EQ(For(desktop_ + "/a/b/y.txt"), offload_ + "/a/b/y.txt");
    EXPECT_EQ(ReadFile(offload_ + "/a/b/marker"), "m");
    // The climb goes above the offload folder when that is missing too.
    engine_.Options()->OffloadPath(tmp_ / "new/offload");
    EXPECT_EQ(For(desktop_ + "/c/z.txt"), tmp_ / "new/offload/c/z.txt");
    EXPECT_TRUE(fs::FolderExists(tmp_ / "new/offload/c"));
}

TEST_F(Destination, trailing_separator_of_the_offload_folder_is_kept) {
    engine_.Options()->OffloadPath(offload_ + "/");
    EXPECT_EQ(For(desktop_ + "/x.txt"), offload_ + "//x.txt");
    EXPECT_EQ(For(desktop_ + "/a/x.txt"), offload_ + "//a/x.txt");
    EXPECT_TRUE(fs::FolderExists(offload_ + "/a"));
}

TEST_F(Destination, only_the_leading_desktop_path_is_cut) {
    // A folder deeper down that repeats the Desktop path is part of the
    // relative path, not a second place to cut.
    const std::string deeper = desktop_ + "/keep" + desktop_ + "/x.txt";
    EXPECT_EQ(For(deeper), offload_ + "/keep" + desktop_ + "/x.txt");
    EXPECT_TRUE(fs::FolderExists(offload_ + "/keep" + desktop_));
}

TEST_F(Destination, path_outside_the_desktop_is_refused) {
    for (const std::string& path : {tmp_ / "elsewhere/x.txt", desktop_ + "2/x.txt", desktop_ + "x.txt"}) {
        try {
            For(path);
            ADD_FAILURE() << path;
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), EINVAL);
        }
    }
    EXPECT_FALSE(Exists(offload_));
}

TEST_F(Destination, a_file_where_a_folder_belongs_fails_the_create) {
    WriteFile(offload_ + "/a", "a file");
    EXPECT_THROW(For(desktop_ + "/a/b/x.txt"), Error);
    EXPECT_EQ(ReadFile(offload_ + "/a"), "a file");
}

}  // namespace
}  // namespace tidyfold::test
