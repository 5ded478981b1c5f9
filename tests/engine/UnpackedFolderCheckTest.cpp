// The unpacked-folder check on real trees beside archives the test writes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <utility>

#include "engine/UnpackedFolderCheck.h"
#include "engine/Yield.h"
#include "fs/Fault.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::test {
namespace {

using Keep = UnpackedKeep;
using Item = ArchiveItem;

// The archive of most cases; Photos/ is unpacked from it but for the last file.
const std::string kBig = Noise(300 * 1024);
const std::vector<Item> kItems = {
    {"a.txt", "alpha"},         {"sub/", "", Item::Kind::Folder},       {"sub/big.bin", kBig},
    {"sub/deep/c.txt", "gamma"}, {"empty.txt", ""},                       {"l", "a.txt", Item::Kind::Link},
    {"only-in-archive.txt", "omega"},
};

std::vector<Item> Under(const std::string& top, std::vector<Item> items) {
    for (Item& item : items)
        item.path = top + "/" + item.path;
    items.insert(items.begin(), {top + "/", "", Item::Kind::Folder});
    return items;
}

class UnpackedCheck : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::size_t i = 0; i + 1 < kItems.size(); ++i) {
            if (kItems[i].kind == Item::Kind::File)
                WriteFile(In(kItems[i].path), kItems[i].data);
        }
        MakeDirs(In("empty folder"));
        ASSERT_EQ(symlink("a.txt", In("l").c_str()), 0);
    }
    void TearDown() override {
        SetYieldHook(nullptr);
        fs::fault::Reset();
    }
    std::string In(const std::string& relative) const { return dir / ("Photos/" + relative); }
    UnpackedFolderVerdict Check() {
        return CheckUnpackedFolder(fs::OpenFolder::Open(dir.Path()), "Photos.zip", "Photos", [&] { return cancel != 0; });
    }

    TempDir dir;
    std::int16_t cancel = 0;
};

TEST_F(UnpackedCheck, a_folder_goes_only_when_the_archive_holds_each_file) {
    const auto archive = dir / "Photos.zip";
    const struct {
        const char* name;
        ArchiveFormat format;
        std::vector<Item> items;
        std::function<void()> change;  // to the folder or the archive
        Keep keep;
        std::string file;  // "*": whichever the walk meets first
    } cases[] = {
        {"zip", ArchiveFormat::Zip, kItems, {}, Keep::Nothing, ""},
        {"tar", ArchiveFormat::Tar, kItems, {}, Keep::Nothing, ""},
        {"tar.gz, under a top folder", ArchiveFormat::TarGz, Under("Photos", kItems), {}, Keep::Nothing, ""},
        {"7z, under a top folder", ArchiveFormat::SevenZip, Under("Photos", kItems), {}, Keep::Nothing, ""},
        {"top folder of another name", ArchiveFormat::Zip, Under("Other", kItems), {}, Keep::NotInArchive, "*"},
        {"an extra file", ArchiveFormat::Zip, kItems, [&] { WriteFile(In("sub/deep/ch2.txt"), "new"); },
         Keep::NotInArchive, "sub/deep/ch2.txt"},
        {"one byte changed", ArchiveFormat::Tar, kItems,
         [&] { WriteFile(In("sub/big.bin"), kBig.substr(0, 200000) + "!" + kBig.substr(200001)); },
         Keep::OtherContent, "sub/big.bin"},
        {"another size", ArchiveFormat::Zip, kItems, [&] { WriteFile(In("a.txt"), "alpha!"); }, Keep::OtherSize,
         "a.txt"},
        {"an empty file written to", ArchiveFormat::Zip, kItems, [&] { WriteFile(In("empty.txt"), "x"); },
         Keep::OtherSize, "empty.txt"},
        {"a link the archive lacks", ArchiveFormat::Zip, kItems, [&] { symlink("/", In("root").c_str()); },
         Keep::OtherLink, "root"},
        {"a link with another text", ArchiveFormat::Tar, kItems,
         [&] { unlink(In("l").c_str()); symlink("sub", In("l").c_str()); }, Keep::OtherLink, "l"},
        {"a file where the archive has a link", ArchiveFormat::Zip, kItems,
         [&] { unlink(In("l").c_str()); WriteFile(In("l"), "a.txt"); }, Keep::NotAFile, "l"},
        {"a hard link in the archive", ArchiveFormat::Tar, {{"a.txt", "alpha"}, {"l", "a.txt", Item::Kind::HardLink}},
         [&] { RemoveTree(dir / "Photos"); WriteFile(In("l"), "alpha"); }, Keep::NotAFile, "l"},
        {"a FIFO", ArchiveFormat::Tar, kItems, [&] { mkfifo(In("p").c_str(), 0644); }, Keep::NotComparable, "p"},
        {"encrypted", ArchiveFormat::Zip, kItems, [&] { WriteArchive(archive, ArchiveFormat::Zip, kItems, "pass"); },
         Keep::Encrypted, "*"},
        {"cut short", ArchiveFormat::Zip, kItems, [&] { WriteFile(archive, ReadFile(archive).substr(0, 5000)); },
         Keep::Unreadable, ""},
        {"garbage", ArchiveFormat::Zip, kItems, [&] { WriteFile(archive, Noise(5000)); }, Keep::Unreadable, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(dir / "Photos");
        SetUp();
        WriteArchive(archive, c.format, c.items);
        if (c.change)
            c.change();
        const UnpackedFolderVerdict verdict = Check();
        EXPECT_EQ(verdict.keep, c.keep) << verdict.Reason();
        EXPECT_EQ(verdict.file, c.file == "*" ? verdict.file : c.file);
        EXPECT_EQ(verdict.file.empty() && c.keep != Keep::Nothing, verdict.Reason() == verdict.detail);
    }
}

TEST_F(UnpackedCheck, a_file_changed_during_the_check_keeps_the_folder) {
    WriteArchive(dir / "Photos.zip", ArchiveFormat::Zip, kItems);
    // After the walk has listed a.txt, on its way into the first sub-folder.
    const std::pair<std::function<void()>, Keep> cases[] = {
        {[&] { std::ofstream(In("a.txt"), std::ios::app) << "!"; }, Keep::OtherSize},
        {[&] { WriteFile(In("new"), "alpha"); rename(In("new").c_str(), In("a.txt").c_str()); }, Keep::Changed},
    };
    for (const auto& [change, keep] : cases) {
        WriteFile(In("a.txt"), "alpha");
        std::function<void()> once = change;
        fs::fault::SetDescentHook([&](const std::string&) {
            if (once)
                std::exchange(once, nullptr)();
        });
        const UnpackedFolderVerdict verdict = Check();
        EXPECT_EQ(verdict.keep, keep) << verdict.Reason();
        EXPECT_EQ(verdict.file, "a.txt");
    }
}

TEST_F(UnpackedCheck, every_failed_call_keeps_the_folder) {
    using fs::fault::Call;
    const fs::OpenFolder desktop = fs::OpenFolder::Open(dir.Path());
    const auto check = [&] { return CheckUnpackedFolder(desktop, "Photos.zip", "Photos", [&] { return cancel != 0; }); };
    for (ArchiveFormat format : {ArchiveFormat::Zip, ArchiveFormat::TarGz}) {
        WriteArchive(dir / "Photos.zip", format, kItems);
        for (Call call : {Call::Open, Call::Read, Call::Fstat, Call::Lstat, Call::Readdir, Call::Readlink}) {
            fs::fault::Reset();
            ASSERT_TRUE(check().Remove());
            const long uses = fs::fault::Uses(call);
            EXPECT_GT(uses, 0) << fs::fault::Name(call);
            for (long nth = 1; nth <= uses; ++nth) {
                SCOPED_TRACE(std::string(fs::fault::Name(call)) + " " + std::to_string(nth));
                fs::fault::Reset();
                fs::fault::Inject(call, EIO, static_cast<int>(nth));
                const UnpackedFolderVerdict verdict = check();
                EXPECT_EQ(verdict.keep, Keep::Unreadable);
                EXPECT_NE(verdict.Reason().find("Input/output error"), std::string::npos) << verdict.Reason();
            }
        }
    }
}

TEST_F(UnpackedCheck, it_yields_while_reading_and_a_stop_keeps_the_folder) {
    std::vector<Item> items;
    for (int i = 0; i < 600; ++i)
        items.push_back({"f" + std::to_string(i), std::to_string(i)});
    items.push_back({"large", Noise(12 << 20, 7)});
    RemoveTree(dir / "Photos");
    WriteArchive(dir / "Photos.zip", ArchiveFormat::Tar, items);
    for (const Item& item : items)
        WriteFile(In(item.path), item.data);
    int yields = 0;
    SetYieldHook([&] { ++yields; });
    EXPECT_TRUE(Check().Remove());
    EXPECT_GE(yields, 10);  // 600 entries listed, walked and compared; 12 MiB read twice
    for (int stopAt : {1, yields / 2, yields}) {
        SCOPED_TRACE("stopped at yield " + std::to_string(stopAt));
        int seen = 0;
        cancel = 0;
        SetYieldHook([&] { cancel = ++seen >= stopAt ? 1 : 0; });
        EXPECT_EQ(Check().keep, Keep::Stopped);
        EXPECT_EQ(seen, stopAt);  // no further reading once stopped
    }
}

}  // namespace
}  // namespace tidyfold::test
