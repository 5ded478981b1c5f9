#pragma once

// Archives made in the test with libarchive's writer, so a case states its
// archive beside the tree it is compared with.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tidyfold::test {

enum class ArchiveFormat { Zip, Tar, TarGz, SevenZip };

struct ArchiveItem {
    enum class Kind { File, Folder, Link, HardLink, Fifo };
    std::string path;
    std::string data;  // a file's bytes, or a link's target
    Kind kind = Kind::File;
};

// Bytes that do not compress, so an archive of them is as large as they are.
std::string Noise(std::size_t size, std::uint32_t seed = 1);

// Writes items in order to path. A non-empty passphrase encrypts every
// file of a zip (traditional zip encryption).
void WriteArchive(const std::string& path, ArchiveFormat format, const std::vector<ArchiveItem>& items,
                  const std::string& passphrase = "");

}  // namespace tidyfold::test
