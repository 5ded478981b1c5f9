// The unpacked-folder check on real trees beside archives the test writes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Error.h"
#include "engine/UnpackedFolderCheck.h"
#include "engine/Yield.h"
#include "fs/Fault.h"
#include "fs/OpenFolder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::test {
namespace {

using Keep = UnpackedKeep;
using Item = ArchiveItem;

// Bytes that do not compress.
std::string Bytes(std::size_t size, std::uint32_t seed = 1) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// The archive of most cases, and the folder unpacked from it.
const std::string kBig = Bytes(300 * 1024);
const std::vector<Item> kItems = {
    {"a.txt", "alpha"},         {"sub/", "", Item::Kind::Folder},       {"sub/big.bin", kBig},
    {"sub/deep/c.txt", "gamma"}, {"empty.txt", ""},                       {"l", "a.txt", Item::Kind::Link},
    {"only-in-archive.txt", "omega"},
};

class UnpackedCheck : public ::testing::Test {
protected:
    void TearDown() override {
        SetYieldHook(nullptr);
        fs::fault::Reset();
    }

    // Photos/ as unpacked from kItems (without only-in-archive.txt).
    void Unpack(const std::string& top = "Photos") {
        const std::string folder = dir / top + "/";
        WriteFile(folder + "a.txt", "alpha");
        WriteFile(folder + "sub/big.bin", kBig);
        WriteFile(folder + "sub/deep/c.txt", "gamma");
        WriteFile(folder + "empty.txt", "");
        MakeDirs(folder + "empty folder");
        ASSERT_EQ(symlink("a.txt", (folder + "l").c_str()), 0);
    }
    // Archive items below a top folder.
    static std::vector<Item> Under(const std::string& top, std::vector<Item> items) {
        for (Item& item : items)
            item.path = top + "/" + item.path;
        items.insert(items.begin(), {top + "/", "", Item::Kind::Folder});
        return items;
    }
    UnpackedFolderVerdict Check(const std::string& archive = "Photos.zip") {
        return CheckUnpackedFolder(fs::OpenFolder::Open(dir.Path()), archive, "Photos", cancel);
    }

    TempDir dir;
    std::int16_t cancel = 0;
};

TEST_F(UnpackedCheck, a_folder_goes_only_when_the_archive_holds_each_file) {
    const struct {
        const char* name;
        ArchiveFormat format;
        std::vector<Item> items;
        std::function<void(const TempDir&)> change;  // done to the unpacked folder
        Keep keep;
        std::string file;
    } cases[] = {
        {"zip, exact", ArchiveFormat::Zip, kItems, {}, Keep::Nothing, ""},
        {"tar, exact", ArchiveFormat::Tar, kItems, {}, Keep::Nothing, ""},
        {"tar.gz, under a top folder", ArchiveFormat::TarGz, Under("Photos", kItems), {}, Keep::Nothing, ""},
        {"7z, under a top folder", ArchiveFormat::SevenZip, Under("Photos", kItems), {}, Keep::Nothing, ""},
        {"top folder of another name", ArchiveFormat::Zip, Under("Other", kItems), {}, Keep::NotInArchive, "*"},
        {"an extra file", ArchiveFormat::Zip, kItems,
         [](const TempDir& d) { WriteFile(d / "Photos/sub/deep/chapter2.txt", "new"); }, Keep::NotInArchive,
         "sub/deep/chapter2.txt"},
        {"one byte changed", ArchiveFormat::Tar, kItems,
         [](const TempDir& d) {
             std::string changed = kBig;
             changed[200000] = static_cast<char>(changed[200000] ^ 1);
             WriteFile(d / "Photos/sub/big.bin", changed);
         },
         Keep::OtherContent, "sub/big.bin"},
        {"another size", ArchiveFormat::Zip, kItems, [](const TempDir& d) { WriteFile(d / "Photos/a.txt", "alpha!"); },
         Keep::OtherSize, "a.txt"},
        {"an empty file written to", ArchiveFormat::Zip, kItems,
         [](const TempDir& d) { WriteFile(d / "Photos/empty.txt", "x"); }, Keep::OtherSize, "empty.txt"},
        {"a link the archive lacks", ArchiveFormat::Zip, kItems,
         [](const TempDir& d) { symlink("/", (d / "Photos/root").c_str()); }, Keep::OtherLink, "root"},
        {"a link with another text", ArchiveFormat::Tar, kItems,
         [](const TempDir& d) {
             unlink((d / "Photos/l").c_str());
             symlink("sub", (d / "Photos/l").c_str());
         },
         Keep::OtherLink, "l"},
        {"a file where the archive has a link", ArchiveFormat::Zip, kItems,
         [](const TempDir& d) {
             unlink((d / "Photos/l").c_str());
             WriteFile(d / "Photos/l", "a.txt");
         },
         Keep::NotAFile, "l"},
        {"a FIFO", ArchiveFormat::Tar, kItems, [](const TempDir& d) { mkfifo((d / "Photos/p").c_str(), 0644); },
         Keep::NotComparable, "p"},
        {"a hard link in the archive", ArchiveFormat::Tar,
         {{"a.txt", "alpha"}, {"b.txt", "a.txt", Item::Kind::HardLink}},
         [](const TempDir& d) {
             RemoveTree(d / "Photos");
             WriteFile(d / "Photos/b.txt", "alpha");
         },
         Keep::NotAFile, "b.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(dir / "Photos");
        WriteArchive(dir / "Photos.zip", c.format, c.items);
        Unpack();
        if (c.change)
            c.change(dir);
        const UnpackedFolderVerdict verdict = Check();
        EXPECT_EQ(verdict.keep, c.keep) << verdict.Reason();
        if (c.file != "*") {  // "*": whichever file the walk meets first
            EXPECT_EQ(verdict.file, c.file);
        }
    }
}

TEST_F(UnpackedCheck, an_archive_that_cannot_be_read_keeps_the_folder) {
    Unpack();
    WriteArchive(dir / "whole.zip", ArchiveFormat::Zip, kItems);
    const std::string zip = ReadFile(dir / "whole.zip");
    WriteFile(dir / "Photos.zip", zip.substr(0, zip.size() - 100));
    EXPECT_EQ(Check().keep, Keep::Unreadable);
    WriteFile(dir / "Photos.zip", Bytes(4096));
    EXPECT_EQ(Check().keep, Keep::Unreadable);
    ASSERT_EQ(unlink((dir / "Photos.zip").c_str()), 0);
    ASSERT_EQ(symlink("whole.zip", (dir / "Photos.zip").c_str()), 0);
    EXPECT_EQ(Check().keep, Keep::Unreadable);
    // An encrypted entry cannot be compared.
    WriteArchive(dir / "Photos.7z", ArchiveFormat::Zip, kItems, "passphrase");
    const UnpackedFolderVerdict verdict = Check("Photos.7z");
    EXPECT_EQ(verdict.keep, Keep::Encrypted);
    EXPECT_EQ(verdict.Reason(), verdict.file + " is encrypted in the archive");
}

TEST_F(UnpackedCheck, every_failed_call_keeps_the_folder) {
    using fs::fault::Call;
    Unpack();
    const fs::OpenFolder desktop = fs::OpenFolder::Open(dir.Path());
    const auto check = [&] { return CheckUnpackedFolder(desktop, "Photos.zip", "Photos", cancel); };
    for (ArchiveFormat format : {ArchiveFormat::Zip, ArchiveFormat::TarGz}) {
        WriteArchive(dir / "Photos.zip", format, kItems);
        for (Call call : {Call::Open, Call::Read, Call::Fstat, Call::Lstat, Call::Readdir, Call::Readlink}) {
            fs::fault::Reset();
            ASSERT_TRUE(check().Remove());
            const long uses = fs::fault::Uses(call);
            EXPECT_GT(uses, 0) << fs::fault::Name(call);
            for (long nth = 1; nth <= uses; ++nth) {
                SCOPED_TRACE(std::string(fs::fault::Name(call)) + " " + std::to_string(nth) + " of " +
                             std::to_string(uses));
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
    items.push_back({"large", Bytes(12 << 20, 7)});
    WriteArchive(dir / "Photos.zip", ArchiveFormat::Tar, items);
    for (const Item& item : items)
        WriteFile(dir / ("Photos/" + item.path), item.data);
    int yields = 0;
    SetYieldHook([&] { ++yields; });
    EXPECT_TRUE(Check().Remove());
    // 600 entries listed, walked and compared; 12 MiB read twice and compared.
    EXPECT_GE(yields, 10);
    for (int stopAt : {1, yields / 2, yields}) {
        SCOPED_TRACE("stopped at yield " + std::to_string(stopAt));
        int seen = 0;
        cancel = 0;
        SetYieldHook([&] { cancel = ++seen >= stopAt ? 1 : 0; });
        const UnpackedFolderVerdict verdict = Check();
        EXPECT_EQ(verdict.keep, Keep::Stopped);
        EXPECT_EQ(seen, stopAt);
    }
}

}  // namespace
}  // namespace tidyfold::test
