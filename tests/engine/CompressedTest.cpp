// Folders unpacked beside archives, and the archive list itself.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/ArchiveList.h"
#include "base/Error.h"
#include "tests/engine/EngineFixture.h"

namespace tidyfold::test {
namespace {

std::optional<std::string> Base(const std::string& list, const std::string& name) {
    const auto base = ArchiveList::Parse(list).BaseName(name);
    return base ? std::optional<std::string>(std::string(*base)) : std::nullopt;
}

TEST(ArchiveListRules, extension_after_a_dot_and_dotted_entries) {
    EXPECT_EQ(Base("zip,", "Photos.zip"), "Photos");
    EXPECT_EQ(Base("ZIP,", "photos.Zip"), "photos");
    EXPECT_EQ(Base(".7z,", "Photos.7z"), "Photos");
    EXPECT_EQ(Base("gz,.gz,", "a.tar.gz"), "a.tar");
    EXPECT_EQ(Base("zip,", "Photoszip"), std::nullopt);  // letters alone are no extension
    EXPECT_EQ(Base("7z,", "Photos.7z"), std::nullopt);   // a two-letter entry never matches
    EXPECT_EQ(Base("zip,", ".zip"), std::nullopt);       // nothing left as a base
    EXPECT_EQ(Base(".7z,", ".7z"), std::nullopt);
    EXPECT_EQ(Base("zip,", "zip"), std::nullopt);
    EXPECT_EQ(Base("\xc9\xc9z,", "a.\xe9\xe9z"), std::nullopt);  // only ASCII letters fold
}

TEST(ArchiveListRules, commas_blanks_and_the_last_entry) {
    EXPECT_EQ(Base("rar,zip", "Photos.zip"), std::nullopt);  // after the last comma: never compared
    EXPECT_EQ(Base("zip", "Photos.zip"), std::nullopt);
    EXPECT_EQ(Base("rar,zip", "Photos.rar"), "Photos");
    EXPECT_EQ(Base("rar, zip,", "Photos.zip"), std::nullopt);  // " zip" is four characters
    EXPECT_EQ(Base("rar,\nzip,", "Photos.zip"), std::nullopt);
    EXPECT_EQ(Base("", "Photos.zip"), std::nullopt);
    EXPECT_EQ(Base(",,,", "Photos.zip"), std::nullopt);
    EXPECT_EQ(ArchiveList::Parse("zip,rar,zip,toolong,ab,").EntryCount(), 2u);
}

TEST(ArchiveListRules, long_lists_are_read_to_the_end) {
    std::string list;
    for (int i = 0; i < 40000; ++i)
        list += "q" + std::to_string(i % 10) + std::to_string(i / 10 % 10) + ",";
    list += "zip,";
    EXPECT_EQ(Base(list, "Photos.zip"), "Photos");
}

class Compressed : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ArchiveList("zip,rar,.7z,");
    }
};

TEST_F(Compressed, folder_beside_its_archive_goes_with_everything_inside) {
    Put("Photos.zip");
    Put("Photos/a.jpg");
    Put("Photos/inner/b.jpg");
    const std::string locked = Put("Photos/locked.jpg");
    chmod(locked.c_str(), 0444);
    chmod((desktop_ + "/Photos/inner").c_str(), 0555);
    const std::string outside = tmp_ / "outside";
    WriteFile(outside + "/keep.txt", "keep");
    ASSERT_EQ(symlink(outside.c_str(), (desktop_ + "/Photos/link").c_str()), 0);

    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 1);
    EXPECT_FALSE(Exists(desktop_ + "/Photos"));
    EXPECT_TRUE(Exists(desktop_ + "/Photos.zip"));
    EXPECT_EQ(ReadFile(outside + "/keep.txt"), "keep");
}

TEST_F(Compressed, names_match_exactly_and_extensions_ignore_case) {
    Put("Photos.ZIP");
    Dir("photos");
    Put("Music.rar");
    Dir("Music");
    Put("Notes.txt");
    Dir("Notes");
    Put("Clip.7z");
    Dir("Clip");
    Put("Photoszip");
    Dir("Photo");
    Put("sub/Deep.zip");
    Dir("sub/Deep");
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 2);
    EXPECT_TRUE(Exists(desktop_ + "/photos"));
    EXPECT_FALSE(Exists(desktop_ + "/Music"));
    EXPECT_FALSE(Exists(desktop_ + "/Clip"));
    EXPECT_TRUE(Exists(desktop_ + "/Notes"));
    EXPECT_TRUE(Exists(desktop_ + "/Photo"));
    EXPECT_TRUE(Exists(desktop_ + "/sub/Deep"));  // only the folder's own files count
}

TEST_F(Compressed, two_archives_of_one_name_remove_the_folder_once_and_counts_run_on) {
    Put("Photos.zip");
    Put("Photos.rar");
    Dir("Photos");
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 1);
    Put("Music.zip");
    Dir("Music");
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 2);
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 2);
}

TEST_F(Compressed, offload_folder_on_the_desktop_is_never_taken_for_an_unpacked_archive) {
    Settings(1, "7", 0, desktop_ + "/Trash/");
    Put("Trash.zip");
    const std::string offloaded = Put("Trash/earlier.txt");
    Put("Old.zip");
    const std::string above = Put("Old/Trash2/x.txt");
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 1);
    EXPECT_TRUE(Exists(offloaded));
    EXPECT_FALSE(Exists(above));
    // A folder that holds the offload folder is kept as well.
    RemoveTree(desktop_ + "/Trash.zip");
    Settings(1, "7", 0, desktop_ + "/Box/Trash");
    Put("Box.zip");
    const std::string inner = Put("Box/Trash/y.txt");
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 1);  // the running count, unchanged
    EXPECT_TRUE(Exists(inner));
}

TEST_F(Compressed, linked_folder_of_the_archive_name_is_not_removed) {
    Put("Photos.zip");
    const std::string outside = tmp_ / "outside";
    WriteFile(outside + "/keep.txt", "keep");
    ASSERT_EQ(symlink(outside.c_str(), (desktop_ + "/Photos").c_str()), 0);
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 0);
    EXPECT_EQ(ReadFile(desktop_ + "/Photos/keep.txt"), "keep");
}

TEST_F(Compressed, missing_list_is_created_empty_and_matches_nothing) {
    unlink((app_ + "/compressed.lst").c_str());
    Put("Photos.zip");
    Dir("Photos");
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 0);
    EXPECT_EQ(ReadFile(app_ + "/compressed.lst"), "");
    EXPECT_TRUE(Exists(desktop_ + "/Photos"));
    EXPECT_THROW(engine_.ProcessCompressed(desktop_ + "/missing"), Error);
}

TEST_F(Compressed, public_tests_read_the_list_and_folders_on_every_call) {
    const fs::File archive(Put("Photos.7z"));
    const fs::Folder desktop = fs::Folder::Get(desktop_);
    std::optional<fs::Folder> found;
    EXPECT_EQ(engine_.IsCompressedFile(archive), kTrue);
    EXPECT_EQ(engine_.FoundUncompressedFolder(archive, desktop, found), kFalse);
    EXPECT_FALSE(found.has_value());
    Dir("Photos");
    EXPECT_EQ(engine_.FoundUncompressedFolder(archive, desktop, found), kTrue);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->Path(), desktop_ + "/Photos");
    ArchiveList("zip,");
    EXPECT_EQ(engine_.IsCompressedFile(archive), kFalse);
    EXPECT_EQ(engine_.IsCompressedFile(fs::File(desktop_ + "/ab")), kFalse);
}

}  // namespace
}  // namespace tidyfold::test
