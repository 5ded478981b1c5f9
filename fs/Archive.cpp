#include "fs/Archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <exception>
#include <new>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "fs/Handles.h"
#include "fs/ReadOpen.h"

namespace tidyfold::fs {

namespace {
constexpr std::size_t kChunk = 64 * 1024;
}  // namespace

struct ArchiveReader::State {
    UniqueFd fd;
    std::string shown;
    Pacer pacer;
    std::int64_t size = 0;    // the file's size when it was opened
    std::int64_t offset = 0;  // where the next read starts
    std::uint64_t bytesRead = 0;
    std::vector<char> buffer = std::vector<char>(kChunk);
    // A failed read is reported with its own errno rather than libarchive's
    // wording of it.
    int readErrno = 0;
    // Exceptions must not cross libarchive's C frames: what the pacer threw
    // waits here until libarchive has returned.
    std::exception_ptr pacerError;
    archive* handle = nullptr;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (handle != nullptr)
            archive_read_free(handle);
    }

    // libarchive retries some reads that failed (while it tells formats
    // apart) and ignores a failed look past the end of a compressed stream;
    // a failed read here always ends the reading, whatever libarchive
    // made of it.
    void ThrowIfFailed() {
        if (readErrno != 0 || pacerError)
            Throw();
    }

    [[noreturn]] void Throw() {
        if (pacerError)
            std::rethrow_exception(std::exchange(pacerError, nullptr));
        if (readErrno != 0)
            ThrowErrno(readErrno, "cannot read archive", shown);
        const char* text = handle != nullptr ? archive_error_string(handle) : nullptr;
        throw Error::Refused(std::string("The archive cannot be read: ") +
                                 (text != nullptr ? text : "its format is not known"),
                             shown, EILSEQ);
    }
};

namespace {

using State = ArchiveReader::State;

la_ssize_t ReadCallback(archive* handle, void* data, const void** out) {
    auto& s = *static_cast<State*>(data);
    ssize_t n;
    do {
        n = sys::ReadAt(s.fd.Get(), s.buffer.data(), s.buffer.size(), static_cast<off_t>(s.offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        s.readErrno = errno;
        archive_set_error(handle, errno, "read failed");
        return -1;
    }
    s.offset += n;
    s.bytesRead += static_cast<std::uint64_t>(n);
    *out = s.buffer.data();
    if (s.pacer) {
        try {
            s.pacer(s.bytesRead);
        } catch (...) {
            s.pacerError = std::current_exception();
            archive_set_error(handle, ECANCELED, "stopped");
            return -1;
        }
    }
    return n;
}

// Skipping and seeking only move the offset of the next read: the reads are
// positioned, so no call is needed until data is wanted.
la_int64_t SkipCallback(archive*, void* data, la_int64_t request) {
    auto& s = *static_cast<State*>(data);
    if (request <= 0 || s.offset >= s.size)
        return 0;
    const la_int64_t skipped = request < s.size - s.offset ? request : s.size - s.offset;
    s.offset += skipped;
    return skipped;
}

la_int64_t SeekCallback(archive*, void* data, la_int64_t offset, int whence) {
    auto& s = *static_cast<State*>(data);
    std::int64_t base = 0;
    if (whence == SEEK_CUR)
        base = s.offset;
    else if (whence == SEEK_END)
        base = s.size;
    else if (whence != SEEK_SET)
        return ARCHIVE_FATAL;
    std::int64_t target = 0;
    // A damaged archive may ask for any offset at all.
    if (__builtin_add_overflow(base, offset, &target) || target < 0)
        return ARCHIVE_FATAL;
    s.offset = target;
    return target;
}

void EnableFormats(archive* handle) {
    // The compressions of a compressed tar. Debian's libarchive has each one
    // built in; a build without one would run an outside program for it.
    archive_read_support_filter_bzip2(handle);
    archive_read_support_filter_compress(handle);
    archive_read_support_filter_gzip(handle);
    archive_read_support_filter_lzip(handle);
    archive_read_support_filter_lzma(handle);
    archive_read_support_filter_xz(handle);
    archive_read_support_filter_zstd(handle);
    archive_read_support_filter_lz4(handle);
    // Archives people unpack. Not mtree, whose entries name files elsewhere
    // on the disk and would be read from there; not raw or empty, which
    // would take any compressed file or an empty one for an archive.
    archive_read_support_format_7zip(handle);
    archive_read_support_format_cab(handle);
    archive_read_support_format_cpio(handle);
    archive_read_support_format_iso9660(handle);
    archive_read_support_format_lha(handle);
    archive_read_support_format_rar(handle);
    archive_read_support_format_rar5(handle);
    archive_read_support_format_tar(handle);
    archive_read_support_format_xar(handle);
    // A zip by its central directory only, as unzip reads it: that alone
    // tells links from files, and a zip cut short (an interrupted download)
    // has none, so it is refused rather than half read.
    archive_read_support_format_zip_seekable(handle);
}

void Describe(archive_entry* raw, ArchiveEntry& entry) {
    const char* path = archive_entry_pathname(raw);
    entry.path = path != nullptr ? path : "";
    entry.linkTarget.clear();
    entry.size.reset();
    if (archive_entry_size_is_set(raw) != 0 && archive_entry_size(raw) >= 0)
        entry.size = static_cast<std::uint64_t>(archive_entry_size(raw));
    entry.encrypted = archive_entry_is_encrypted(raw) != 0;
    entry.mode = static_cast<std::uint32_t>(archive_entry_perm(raw)) & 07777;
    entry.modify_ns.reset();
    // A damaged header may hold any time at all: one beyond what
    // nanoseconds hold is none.
    std::int64_t ns = 0;
    if (archive_entry_mtime_is_set(raw) != 0 &&
        !__builtin_mul_overflow(static_cast<std::int64_t>(archive_entry_mtime(raw)), 1'000'000'000, &ns) &&
        !__builtin_add_overflow(ns, static_cast<std::int64_t>(archive_entry_mtime_nsec(raw)), &ns))
        entry.modify_ns = ns;
    if (const char* hard = archive_entry_hardlink(raw)) {
        entry.kind = ArchiveEntryKind::HardLink;
        entry.linkTarget = hard;
        return;
    }
    switch (archive_entry_filetype(raw)) {
    case AE_IFREG:
        entry.kind = ArchiveEntryKind::File;
        break;
    case AE_IFDIR:
        entry.kind = ArchiveEntryKind::Folder;
        break;
    case AE_IFLNK: {
        entry.kind = ArchiveEntryKind::Link;
        const char* target = archive_entry_symlink(raw);
        entry.linkTarget = target != nullptr ? target : "";
        break;
    }
    default:
        entry.kind = ArchiveEntryKind::Other;
    }
}

}  // namespace

std::string NormalArchivePath(std::string_view path) {
    std::string normal;
    normal.reserve(path.size());
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".") {
            if (!normal.empty())
                normal += '/';
            normal += part;
        }
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
    }
    return normal;
}

ArchiveReader::ArchiveReader(int dirfd, const std::string& name, std::string shownPath, Pacer pacer)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.shown = std::move(shownPath);
    s.pacer = std::move(pacer);
    // A FIFO under the archive's name does not wait for a writer; it is
    // refused below.
    s.fd = UniqueFd(OpenToRead(dirfd, name));
    if (!s.fd.Valid()) {
        if (errno == ELOOP)
            throw Error::Refused("The archive is a symbolic link, which is never followed.", s.shown, ELOOP);
        ThrowErrno("cannot open archive", s.shown);
    }
    struct stat st;
    if (sys::Fstat(s.fd.Get(), &st) != 0)
        ThrowErrno("cannot read the details of", s.shown);
    if (!S_ISREG(st.st_mode))
        throw Error::Refused("The archive is not a regular file.", s.shown, EINVAL);
    s.size = st.st_size;
    s.handle = archive_read_new();
    if (s.handle == nullptr)
        throw std::bad_alloc();
    EnableFormats(s.handle);
    archive_read_set_callback_data(s.handle, &s);
    archive_read_set_read_callback(s.handle, ReadCallback);
    archive_read_set_skip_callback(s.handle, SkipCallback);
    archive_read_set_seek_callback(s.handle, SeekCallback);
    if (archive_read_open1(s.handle) != ARCHIVE_OK)
        s.Throw();
    s.ThrowIfFailed();
}

ArchiveReader::~ArchiveReader() = default;

bool ArchiveReader::Next(ArchiveEntry& entry) {
    archive_entry* raw = nullptr;
    const int result = archive_read_next_header(state_->handle, &raw);
    if (result == ARCHIVE_EOF) {
        state_->ThrowIfFailed();
        return false;
    }
    // A warning (a name the locale cannot show, say) still gives the entry;
    // anything worse leaves the archive unread.
    if (result != ARCHIVE_OK && result != ARCHIVE_WARN)
        state_->Throw();
    state_->ThrowIfFailed();
    Describe(raw, entry);
    return true;
}

std::size_t ArchiveReader::Read(char* buffer, std::size_t size) {
    const la_ssize_t n = archive_read_data(state_->handle, buffer, size);
    if (n < 0)
        state_->Throw();
    state_->ThrowIfFailed();
    return static_cast<std::size_t>(n);
}

std::uint64_t ArchiveReader::BytesRead() const { return state_->bytesRead; }

}  // namespace tidyfold::fs
