// The archive reader over archives the test writes with libarchive.

#include <algorithm>
#include <stdexcept>

#include "fs/Archive.h"
#include "fs/OpenFolder.h"
#include "fs/Remake.h"
#include "fs/Temp.h"
#include "tests/fs/FsTest.h"
#include "tests/support/Snapshot.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::test {
namespace {

using Kind = fs::ArchiveEntryKind;
using Item = ArchiveItem;

struct Listed {
    std::string path;
    Kind kind;
    std::string target;  // a link's text
    std::string data;    // everything Read gave
    bool operator==(const Listed&) const = default;
};

void PrintTo(const Listed& listed, std::ostream* out) {
    *out << ::testing::PrintToString(listed.path) << " kind " << static_cast<int>(listed.kind) << " -> "
         << ::testing::PrintToString(listed.target) << ", " << listed.data.size() << " bytes";
}

class ArchiveReading : public FsTest {
protected:
    std::vector<Listed> ReadAll(const std::string& name, fs::ArchiveReader::Pacer pacer = {}) {
        fs::ArchiveReader reader(fs::OpenFolder::Open(dir.Path()).Fd(), name, dir / name, std::move(pacer));
        std::vector<Listed> listed;
        fs::ArchiveEntry entry;
        while (reader.Next(entry)) {
            Listed item{entry.path, entry.kind, entry.linkTarget, {}};
            char buffer[7000];  // chunks that end anywhere
            while (std::size_t n = reader.Read(buffer, sizeof buffer))
                item.data.append(buffer, n);
            EXPECT_EQ(entry.size.value_or(item.data.size()), item.data.size()) << entry.path;
            listed.push_back(item);
        }
        return listed;
    }
};

TEST_F(ArchiveReading, lists_every_kind_with_its_data_in_each_format) {
    const std::string big = Noise(300 * 1024);  // several chunks of the file and of the data
    const std::string odd = "Top/\xff name\\with\nbytes";
    std::vector<Item> items = {{"Top/", "", Item::Kind::Folder}, {"Top/a.txt", "alpha"}, {"Top/sub/big.bin", big},
                               {"Top/link", "a.txt", Item::Kind::Link}, {odd, ""}};
    std::vector<Listed> expected = {{"Top/", Kind::Folder, "", ""},           {"Top/a.txt", Kind::File, "", "alpha"},
                                    {"Top/sub/big.bin", Kind::File, "", big}, {"Top/link", Kind::Link, "a.txt", ""},
                                    {odd, Kind::File, "", ""}};
    for (const auto& [format, name] : {std::pair{ArchiveFormat::Zip, "a.zip"}, {ArchiveFormat::Tar, "a.tar"},
                                       {ArchiveFormat::TarGz, "a.tgz"}, {ArchiveFormat::SevenZip, "a.7z"}}) {
        SCOPED_TRACE(name);
        if (format == ArchiveFormat::SevenZip) {
            // 7z keeps names in UTF-16, which the odd bytes are not; its
            // writer puts empty entries last.
            items.pop_back();
            expected.pop_back();
            std::rotate(expected.begin(), expected.begin() + 1, expected.end());
        }
        WriteArchive(dir / name, format, items);
        EXPECT_EQ(ReadAll(name), expected);
    }
    // Tar alone keeps hard links and FIFOs.
    WriteArchive(dir / "h.tar", ArchiveFormat::Tar,
                 {{"a", "x"}, {"b", "a", Item::Kind::HardLink}, {"p", "", Item::Kind::Fifo}});
    EXPECT_EQ(ReadAll("h.tar"), (std::vector<Listed>{{"a", Kind::File, "", "x"},
                                                      {"b", Kind::HardLink, "a", ""},
                                                      {"p", Kind::Other, "", ""}}));
}

TEST_F(ArchiveReading, refuses_what_is_no_readable_archive) {
    WriteArchive(dir / "whole.zip", ArchiveFormat::Zip, {{"a.txt", Noise(100000)}});
    WriteArchive(dir / "whole.tgz", ArchiveFormat::TarGz, {{"a.txt", Noise(100000)}});
    WriteArchive(dir / "locked.zip", ArchiveFormat::Zip, {{"a.txt", "secret"}}, "passphrase");
    const std::string zip = ReadFile(dir / "whole.zip"), tgz = ReadFile(dir / "whole.tgz");
    WriteFile(dir / "cut.zip", zip.substr(0, zip.size() - 100));  // its central directory gone
    WriteFile(dir / "cut.tgz", tgz.substr(0, tgz.size() / 2));
    WriteFile(dir / "garbage.zip", Noise(5000));
    WriteFile(dir / "empty.zip", "");
    Symlink("whole.zip", dir / "link.zip");
    ASSERT_EQ(mkfifo((dir / "fifo.zip").c_str(), 0644), 0);  // opened, it would wait for a writer
    const struct {
        const char* name;
        Error::Kind kind;
        int number;
    } cases[] = {
        {"cut.zip", Error::Kind::Refused, EILSEQ},     {"cut.tgz", Error::Kind::Refused, EILSEQ},
        {"garbage.zip", Error::Kind::Refused, EILSEQ}, {"empty.zip", Error::Kind::Refused, EILSEQ},
        {"locked.zip", Error::Kind::Refused, EILSEQ},  {"link.zip", Error::Kind::Refused, ELOOP},
        {"fifo.zip", Error::Kind::Refused, EINVAL},    {"missing.zip", Error::Kind::System, ENOENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ReadAll(c.name);
            ADD_FAILURE() << "read";
        } catch (const Error& error) {
            EXPECT_EQ(error.What(), c.kind);
            EXPECT_EQ(error.Number(), c.number) << error.what();
            EXPECT_EQ(error.Path(), dir / c.name);
        }
    }
}

TEST_F(ArchiveReading, the_pacer_sees_every_chunk_and_can_end_the_reading) {
    WriteArchive(dir / "a.tgz", ArchiveFormat::TarGz, {{"a", Noise(200000)}, {"b", Noise(300000)}});
    std::uint64_t seen = 0;
    // Thrown from inside libarchive's callback, it comes out unchanged.
    EXPECT_THROW(ReadAll("a.tgz",
                         [&](std::uint64_t bytes) {
                             EXPECT_GT(bytes, seen);
                             EXPECT_LE(bytes - seen, 64u * 1024);
                             if ((seen = bytes) > 100000)
                                 throw std::logic_error("stop");
                         }),
                 std::logic_error);
    EXPECT_GT(seen, 100000u);
}

// Unpacking again what a pass removed: below the archive's top folder, only
// into the folder it makes, never through a link, never over anything, and
// nothing under the name until all of it is there.
TEST_F(ArchiveReading, unpacks_into_a_new_folder_put_in_place_whole) {
    WriteArchive(dir / "Photos.zip", ArchiveFormat::Zip,
                 {{"Photos/a.jpg", "alpha"},
                  {"Photos/sub/", "", Item::Kind::Folder},
                  {"Photos/sub/b.jpg", Noise(200 * 1024)},
                  {"Photos/../escape.txt", "out"},
                  {"Photos/ln", "a.jpg", Item::Kind::Link},
                  {"Photos/ln/through.txt", "through the link"},
                  {"Photos/a.jpg", "alpha again"}});
    WriteArchive(dir / "Flat.tar", ArchiveFormat::Tar, {{"one.txt", "1"}, {"two/three.txt", "3"}});
    const fs::OpenFolder folder = fs::OpenFolder::Open(dir.Path());
    const fs::FileTimes times{1'500'000'000'000'000'000, 1'400'000'000'000'000'000, 0};
    ASSERT_TRUE(fs::UnpackArchive(folder, "Photos.zip", "Photos/", "Photos", 0750, times));
    const std::map<std::string, std::string> photos = BriefTree(dir / "Photos");
    EXPECT_EQ(ReadFile(dir / "Photos/a.jpg"), "alpha again");  // the later entry, as unpacking leaves it
    EXPECT_EQ(ReadFile(dir / "Photos/sub/b.jpg"), Noise(200 * 1024));
    EXPECT_EQ(photos.at("ln"), "L:a.jpg");
    EXPECT_EQ(photos.size(), 4u);  // a.jpg, sub, sub/b.jpg, ln: nothing through the link
    EXPECT_FALSE(Exists(dir / "escape.txt"));
    EXPECT_EQ(ModeOf(dir / "Photos"), 0750u);
    struct stat st {};
    ASSERT_EQ(stat((dir / "Photos").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1'400'000'000);

    ASSERT_TRUE(fs::UnpackArchive(folder, "Flat.tar", "", "Flat", 0755, times));
    EXPECT_EQ(ReadFile(dir / "Flat/two/three.txt"), "3");

    // Taken: nothing replaced. Failing half-way: nothing left.
    const auto before = BriefTree(dir.Path());
    EXPECT_FALSE(fs::UnpackArchive(folder, "Flat.tar", "", "Photos", 0755, times));
    fs::fault::Inject(fs::fault::Call::Write, EIO, 2);
    EXPECT_EQ(ThrownErrno([&] { fs::UnpackArchive(folder, "Photos.zip", "Photos/", "Again", 0755, times); }), EIO);
    EXPECT_EQ(BriefTree(dir.Path()), before);

    // What a killed unpacking leaves is found by the name it was for.
    MakeDirs(dir / fs::TempNameFor("Photos", "k1ll3d") + "/sub");
    MakeDirs(dir / fs::TempNameFor("Other", "abcdef"));
    EXPECT_EQ(fs::RemoveUnpackLeftovers(folder, {"Photos"}), 1u);
    EXPECT_TRUE(Exists(dir / fs::TempNameFor("Other", "abcdef")));
    EXPECT_TRUE(Exists(dir / "Photos/a.jpg"));
}

}  // namespace
}  // namespace tidyfold::test
