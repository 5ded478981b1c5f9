// The archive reader over archives the test writes with libarchive.

#include <fcntl.h>

#include <algorithm>

#include <stdexcept>

#include "fs/Archive.h"
#include "fs/Handles.h"
#include "tests/fs/FsTest.h"
#include "tests/support/TestArchive.h"

namespace tidyfold::test {
namespace {

using Kind = fs::ArchiveEntryKind;
using Item = ArchiveItem;
namespace fault = fs::fault;

struct Listed {
    std::string path;
    Kind kind;
    std::string target;  // a link's text
    std::string data;    // everything Read gave
    bool operator==(const Listed&) const = default;
};

void PrintTo(const Listed& listed, std::ostream* out) {
    *out << "{" << ::testing::PrintToString(listed.path) << " kind " << static_cast<int>(listed.kind) << " -> "
         << ::testing::PrintToString(listed.target) << ", " << listed.data.size() << " bytes}";
}

class ArchiveReading : public FsTest {
protected:
    std::vector<Listed> ReadAll(const std::string& name, fs::ArchiveReader::Pacer pacer = {}) {
        fs::UniqueFd folder = fs::OpenDirectoryAt(AT_FDCWD, dir.Path());
        fs::ArchiveReader reader(folder.Get(), name, dir / name, std::move(pacer));
        std::vector<Listed> listed;
        fs::ArchiveEntry entry;
        while (reader.Next(entry)) {
            Listed item{entry.path, entry.kind, entry.linkTarget, {}};
            char buffer[7000];  // not a divisor of anything: chunks end anywhere
            while (std::size_t n = reader.Read(buffer, sizeof buffer))
                item.data.append(buffer, n);
            if (entry.size) {
                EXPECT_EQ(*entry.size, item.data.size()) << entry.path;
            }
            EXPECT_FALSE(entry.encrypted);
            listed.push_back(item);
        }
        return listed;
    }
    // The error ReadAll throws; fails the test when it throws none.
    Error Failure(const std::string& name) {
        try {
            ReadAll(name);
        } catch (const Error& error) {
            return error;
        }
        ADD_FAILURE() << name << " was read";
        return Error::System(0, "");
    }
};

// Bytes that do not compress, so an archive of them is as large as they are.
std::string Bytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

TEST_F(ArchiveReading, lists_every_kind_with_its_data_in_each_format) {
    const std::string big = Bytes(300 * 1024);  // several chunks of the file and of the data
    const std::string odd = "Top/\xff name\\with\nbytes";
    std::vector<Item> items = {{"Top/", "", Item::Kind::Folder}, {"Top/a.txt", "alpha"}, {"Top/sub/big.bin", big},
                               {"Top/link", "a.txt", Item::Kind::Link}, {odd, ""}};
    std::vector<Listed> expected = {{"Top/", Kind::Folder, "", ""},           {"Top/a.txt", Kind::File, "", "alpha"},
                                    {"Top/sub/big.bin", Kind::File, "", big}, {"Top/link", Kind::Link, "a.txt", ""},
                                    {odd, Kind::File, "", ""}};
    const std::pair<ArchiveFormat, const char*> formats[] = {{ArchiveFormat::Zip, "a.zip"},
                                                             {ArchiveFormat::Tar, "a.tar"},
                                                             {ArchiveFormat::TarGz, "a.tar.gz"},
                                                             {ArchiveFormat::SevenZip, "a.7z"}};
    for (const auto& [format, name] : formats) {
        SCOPED_TRACE(name);
        if (format == ArchiveFormat::SevenZip) {
            // 7z keeps names in UTF-16, which these bytes are not; its writer
            // puts empty entries last.
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
    WriteArchive(dir / "whole.zip", ArchiveFormat::Zip, {{"a.txt", Bytes(100000)}});
    WriteArchive(dir / "whole.tgz", ArchiveFormat::TarGz, {{"a.txt", Bytes(100000)}});
    const std::string zip = ReadFile(dir / "whole.zip"), tgz = ReadFile(dir / "whole.tgz");
    WriteFile(dir / "cut.zip", zip.substr(0, zip.size() / 2));
    WriteFile(dir / "cut.tgz", tgz.substr(0, tgz.size() / 2));
    WriteFile(dir / "garbage.zip", Bytes(5000));
    WriteFile(dir / "empty.zip", "");
    WriteArchive(dir / "locked.zip", ArchiveFormat::Zip, {{"a.txt", "secret"}}, "passphrase");
    Symlink("whole.zip", dir / "link.zip");
    ASSERT_EQ(mkfifo((dir / "fifo.zip").c_str(), 0644), 0);  // opened, it would wait for a writer
    const struct {
        const char* name;
        Error::Kind kind;
        int number;
    } cases[] = {
        {"cut.zip", Error::Kind::Refused, EILSEQ},   {"cut.tgz", Error::Kind::Refused, EILSEQ},
        {"garbage.zip", Error::Kind::Refused, EILSEQ}, {"empty.zip", Error::Kind::Refused, EILSEQ},
        {"locked.zip", Error::Kind::Refused, EILSEQ},  {"link.zip", Error::Kind::Refused, ELOOP},
        {"fifo.zip", Error::Kind::Refused, EINVAL},    {"missing.zip", Error::Kind::System, ENOENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Error error = Failure(c.name);
        EXPECT_EQ(error.What(), c.kind);
        EXPECT_EQ(error.Number(), c.number) << error.what();
        EXPECT_EQ(error.Path(), dir / c.name);
    }
}

TEST_F(ArchiveReading, encrypted_entries_are_marked) {
    WriteArchive(dir / "locked.zip", ArchiveFormat::Zip, {{"a.txt", "secret"}}, "passphrase");
    fs::UniqueFd folder = fs::OpenDirectoryAt(AT_FDCWD, dir.Path());
    fs::ArchiveReader reader(folder.Get(), "locked.zip", dir / "locked.zip");
    fs::ArchiveEntry entry;
    ASSERT_TRUE(reader.Next(entry));
    EXPECT_TRUE(entry.encrypted);
}

TEST_F(ArchiveReading, read_failures_and_the_pacer_end_the_reading) {
    WriteArchive(dir / "a.tgz", ArchiveFormat::TarGz, {{"a", Bytes(200000)}, {"b", Bytes(300000)}});
    WriteArchive(dir / "a.zip", ArchiveFormat::Zip, {{"a", Bytes(200000)}, {"b", Bytes(300000)}});
    for (const char* name : {"a.tgz", "a.zip"}) {
        fault::Reset();
        ReadAll(name);
        const long reads = fault::Uses(fault::Call::Read);
        ASSERT_GT(reads, 2);
        for (long nth = 1; nth <= reads; ++nth) {
            SCOPED_TRACE(std::string(name) + " read " + std::to_string(nth));
            fault::Reset();
            fault::Inject(fault::Call::Read, EIO, static_cast<int>(nth));
            // Even a read that libarchive would retry or needs no more.
            const Error error = Failure(name);
            EXPECT_TRUE(error.IsSystem(EIO)) << error.what();
        }
        fault::Reset();
        std::uint64_t seen = 0;
        EXPECT_THROW(ReadAll(name,
                             [&](std::uint64_t bytes) {
                                 EXPECT_GT(bytes, seen);
                                 seen = bytes;
                                 if (bytes > 100000)
                                     throw std::logic_error("stop");
                             }),
                     std::logic_error);
    }
}

}  // namespace
}  // namespace tidyfold::test
