// Folders unpacked beside archives, and the archive list itself.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <unistd.h>

#include "engine/ArchiveList.h"
#include "base/Error.h"
#include "engine/Yield.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/TestArchive.h"

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
    // An archive on the Desktop of files below top, and the folder top
    // unpacked from it beside it: what the archive holds, on disk.
    void Unpacked(const std::string& archive, const std::string& top, const std::vector<ArchiveItem>& items,
                  ArchiveFormat format = ArchiveFormat::Zip) {
        WriteArchive(desktop_ + "/" + archive, format, items);
        Dir(top);
        for (const ArchiveItem& item : items) {
            if (item.kind == ArchiveItem::Kind::File)
                WriteFile(desktop_ + "/" + top + "/" + item.path, item.data);
        }
    }
};

TEST_F(Compressed, folder_beside_its_archive_goes_with_everything_inside) {
    Unpacked("Photos.zip", "Photos", {{"a.jpg", "jpeg"}, {"inner/b.jpg", "jpeg2"}, {"locked.jpg", "ro"}});
    chmod((desktop_ + "/Photos/locked.jpg").c_str(), 0444);
    chmod((desktop_ + "/Photos/inner").c_str(), 0555);
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 1);
    EXPECT_FALSE(Exists(desktop_ + "/Photos"));
    EXPECT_TRUE(Exists(desktop_ + "/Photos.zip"));
    EXPECT_EQ(engine_.Log(), "");
}

// The wiring of the check into the pass; the check's own rules are tested
// on their own.
TEST_F(Compressed, only_folders_the_archive_holds_go_and_the_log_names_what_kept_the_others) {
    const std::vector<ArchiveItem> items = {{"ch1.txt", "one"}, {"notes/ch2.txt", Noise(5000)}};
    const struct {
        const char* name;
        ArchiveFormat format;
        std::function<void(const std::string& folder, const std::string& archive)> change;
        std::string logged;  // empty: the folder goes
    } cases[] = {
        {"zip, matching", ArchiveFormat::Zip, {}, ""},
        {"tar, matching", ArchiveFormat::Tar, {}, ""},
        {"an extra file", ArchiveFormat::Zip,
         [](const std::string& f, const std::string&) { WriteFile(f + "/notes/chapter2.txt", "draft"); },
         "notes/chapter2.txt is not in the archive"},
        {"a changed byte", ArchiveFormat::Tar,
         [&](const std::string& f, const std::string&) {
             std::string bytes = items[1].data;
             bytes[2500] = static_cast<char>(bytes[2500] ^ 1);
             WriteFile(f + "/notes/ch2.txt", bytes);
         },
         "notes/ch2.txt differs from the archive's file"},
        {"an unreadable archive", ArchiveFormat::Zip,
         [](const std::string&, const std::string& a) { WriteFile(a, Noise(3000)); }, "Thesis.zip"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(desktop_);
        Dir("");
        cTidyfold engine;
        Unpacked("Thesis.zip", "Thesis", items, c.format);
        if (c.change)
            c.change(desktop_ + "/Thesis", desktop_ + "/Thesis.zip");
        const auto before = Snapshot(desktop_);
        EXPECT_EQ(engine.ProcessCompressed(desktop_), c.logged.empty() ? 1 : 0);
        EXPECT_TRUE(Exists(desktop_ + "/Thesis.zip"));
        if (c.logged.empty()) {
            EXPECT_FALSE(Exists(desktop_ + "/Thesis"));
            EXPECT_EQ(engine.Log(), "");
        } else {
            EXPECT_EQ(Snapshot(desktop_), before);  // nothing at all removed
            EXPECT_EQ(engine.Log().rfind("Kept folder " + desktop_ + "/Thesis beside Thesis.zip: ", 0), 0u)
                << engine.Log();
            EXPECT_NE(engine.Log().find(c.logged), std::string::npos) << engine.Log();
        }
    }
}

TEST_F(Compressed, a_stop_during_a_check_ends_the_pass_and_the_folders_stay) {
    // Enough entries that the check yields while it reads.
    std::vector<ArchiveItem> items;
    for (int i = 0; i < 600; ++i)
        items.push_back({"f" + std::to_string(i), std::to_string(i)});
    Unpacked("A.zip", "A", items, ArchiveFormat::Tar);
    Unpacked("B.zip", "B", items, ArchiveFormat::Tar);
    int yields = 0;
    SetYieldHook([&] {
        if (++yields == 3)
            engine_.Cancel(kTrue);
    });
    const auto before = Snapshot(desktop_);
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 0);
    SetYieldHook(nullptr);
    EXPECT_EQ(yields, 3);  // nothing more read once stopped
    EXPECT_EQ(Snapshot(desktop_), before);
    engine_.Cancel(kFalse);
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 2);
}

TEST_F(Compressed, names_match_exactly_and_extensions_ignore_case) {
    const std::vector<ArchiveItem> items = {{"x.txt", "x"}};
    for (const char* folder : {"photos", "Music", "Notes", "Clip", "Photo", "sub/Deep"})
        WriteFile(desktop_ + "/" + folder + "/x.txt", "x");
    for (const char* archive : {"Photos.ZIP", "Music.rar", "Notes.txt", "Clip.7z", "Photoszip", "sub/Deep.zip"})
        WriteArchive(desktop_ + "/" + archive, ArchiveFormat::Zip, items);
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 2);
    EXPECT_TRUE(Exists(desktop_ + "/photos"));
    EXPECT_FALSE(Exists(desktop_ + "/Music"));
    EXPECT_FALSE(Exists(desktop_ + "/Clip"));
    EXPECT_TRUE(Exists(desktop_ + "/Notes"));
    EXPECT_TRUE(Exists(desktop_ + "/Photo"));
    EXPECT_TRUE(Exists(desktop_ + "/sub/Deep"));  // only the folder's own files count
}

TEST_F(Compressed, two_archives_of_one_name_remove_the_folder_once_and_counts_run_on) {
    Unpacked("Photos.zip", "Photos", {{"a", "a"}});
    WriteArchive(desktop_ + "/Photos.rar", ArchiveFormat::Zip, {{"a", "a"}});
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 1);
    Unpacked("Music.zip", "Music", {{"m", "m"}});
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 2);
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 2);
}

TEST_F(Compressed, offload_folder_on_the_desktop_is_never_taken_for_an_unpacked_archive) {
    Settings(1, "7", 0, desktop_ + "/Trash/");
    WriteArchive(desktop_ + "/Trash.zip", ArchiveFormat::Zip, {{"earlier.txt", "data"}});
    const std::string offloaded = Put("Trash/earlier.txt");
    Unpacked("Old.zip", "Old", {{"Trash2/x.txt", "x"}});
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 1);
    EXPECT_TRUE(Exists(offloaded));
    EXPECT_FALSE(Exists(desktop_ + "/Old"));
    // A folder that holds the offload folder is kept as well.
    RemoveTree(desktop_ + "/Trash.zip");
    Settings(1, "7", 0, desktop_ + "/Box/Trash");
    Unpacked("Box.zip", "Box", {{"Trash/y.txt", "y"}});
    EXPECT_EQ(engine_.ProcessCompressed(desktop_), 1);  // the running count, unchanged
    EXPECT_TRUE(Exists(desktop_ + "/Box/Trash/y.txt"));
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
