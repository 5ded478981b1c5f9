#include "tests/support/TestArchive.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <memory>
#include <stdexcept>

namespace tidyfold::test {

namespace {

void Check(archive* handle, int result, const char* step) {
    if (result < ARCHIVE_WARN)
        throw std::runtime_error(std::string(step) + ": " + archive_error_string(handle));
}

void SetFormat(archive* handle, ArchiveFormat format, const std::string& passphrase) {
    switch (format) {
    case ArchiveFormat::Zip:
        Check(handle, archive_write_set_format_zip(handle), "zip");
        if (!passphrase.empty()) {
            Check(handle, archive_write_set_options(handle, "zip:encryption=zipcrypt"), "encryption");
            Check(handle, archive_write_set_passphrase(handle, passphrase.c_str()), "passphrase");
        }
        return;
    case ArchiveFormat::Tar:
        Check(handle, archive_write_set_format_pax_restricted(handle), "tar");
        return;
    case ArchiveFormat::TarGz:
        Check(handle, archive_write_set_format_pax_restricted(handle), "tar");
        Check(handle, archive_write_add_filter_gzip(handle), "gzip");
        return;
    case ArchiveFormat::SevenZip:
        Check(handle, archive_write_set_format_7zip(handle), "7z");
        // LZMA is slow to write, and the tests are about reading.
        Check(handle, archive_write_set_options(handle, "7zip:compression=deflate"), "7z compression");
        return;
    }
}

void Describe(archive_entry* entry, const ArchiveItem& item) {
    using Kind = ArchiveItem::Kind;
    archive_entry_set_pathname(entry, item.path.c_str());
    archive_entry_set_perm(entry, item.kind == Kind::Folder ? 0755 : 0644);
    archive_entry_set_mtime(entry, 1700000000, 0);
    archive_entry_set_filetype(entry, item.kind == Kind::Folder   ? AE_IFDIR
                                      : item.kind == Kind::Link   ? AE_IFLNK
                                      : item.kind == Kind::Fifo   ? AE_IFIFO
                                                                  : AE_IFREG);
    if (item.kind == Kind::Link)
        archive_entry_set_symlink(entry, item.data.c_str());
    if (item.kind == Kind::HardLink)
        archive_entry_set_hardlink(entry, item.data.c_str());
    archive_entry_set_size(entry, item.kind == Kind::File ? static_cast<la_int64_t>(item.data.size()) : 0);
}

}  // namespace

std::string Noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

void WriteArchive(const std::string& path, ArchiveFormat format, const std::vector<ArchiveItem>& items,
                  const std::string& passphrase) {
    std::unique_ptr<archive, decltype(&archive_write_free)> handle(archive_write_new(), &archive_write_free);
    SetFormat(handle.get(), format, passphrase);
    Check(handle.get(), archive_write_open_filename(handle.get(), path.c_str()), "open");
    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(), &archive_entry_free);
    for (const ArchiveItem& item : items) {
        archive_entry_clear(entry.get());
        Describe(entry.get(), item);
        Check(handle.get(), archive_write_header(handle.get(), entry.get()), "header");
        if (item.kind == ArchiveItem::Kind::File && !item.data.empty() &&
            archive_write_data(handle.get(), item.data.data(), item.data.size()) !=
                static_cast<la_ssize_t>(item.data.size()))
            throw std::runtime_error("data: " + std::string(archive_error_string(handle.get())));
    }
    Check(handle.get(), archive_write_close(handle.get()), "close");
}

}  // namespace tidyfold::test
