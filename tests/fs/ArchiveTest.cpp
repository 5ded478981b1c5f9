// The archive reader over archives the test writes with libarchive.

#include <algorithm>
#include <stdexcept>

#include "fs/Archive.h"
#include "fs/OpenFolder.h"
#include "tests/fs/FsTest.h"
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

}  // namespace
}  // namespace tidyfold::test
