#include "fs/Copy.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "fs/Handles.h"

namespace tidyfold::fs {

namespace {

// Large enough that progress reports stay rare, small enough that a cancel
// is seen within a fraction of a second.
constexpr std::size_t kRangeChunk = 8u << 20;
constexpr std::size_t kBufferChunk = 1u << 20;

bool Cancelled(const volatile int* cancel) { return cancel != nullptr && *cancel != 0; }

void Report(const CopyProgress& progress, std::uint64_t total, std::uint64_t done) {
    if (progress)
        progress(total, done);
}

// Writes all of buffer; returns 0 or an errno.
int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = sys::Write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return EIO;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// One chunk through a buffer: bytes copied, 0 at the end, -1 with errno set.
ssize_t CopyChunkByBuffer(int in, int out, std::vector<char>& buffer) {
    if (buffer.empty())
        buffer.resize(kBufferChunk);
    ssize_t got;
    do {
        got = sys::Read(in, buffer.data(), buffer.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        return got;
    if (int error = WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) {
        errno = error;
        return -1;
    }
    return got;
}

// copy_file_range cannot serve every pair of file systems; the reasons it
// gives for that mean "copy it yourself", not a failed copy.
bool RangeUnsupported(int error) {
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP;
}

int CopyData(int in, int out, std::uint64_t total, const CopyProgress& progress,
             const volatile int* cancel) {
    Report(progress, total, 0);
    if (Cancelled(cancel))
        return ECANCELED;
    std::uint64_t done = 0;
    bool byRange = true;
    std::vector<char> buffer;
    for (;;) {
        ssize_t copied;
        if (byRange) {
            copied = sys::CopyFileRange(in, out, kRangeChunk);
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied < 0 && RangeUnsupported(errno)) {
                byRange = false;
                continue;
            }
        } else {
            copied = CopyChunkByBuffer(in, out, buffer);
        }
        if (copied < 0)
            return errno;
        if (copied == 0)
            return 0;
        done += static_cast<std::uint64_t>(copied);
        // A file that grows while it is copied still never reports more
        // transferred than its total.
        total = std::max(total, done);
        Report(progress, total, done);
        if (Cancelled(cancel))
            return ECANCELED;
    }
}

// Fails when dst names src itself (the same path, or a hard link of it);
// replacing it would destroy the only copy of the data.
int CheckNotSame(const struct stat& source, int dirfd, const std::string& finalName) {
    struct stat target;
    if (sys::LstatAt(dirfd, finalName.c_str(), &target) != 0)
        return errno == ENOENT ? 0 : errno;
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino)
        return EINVAL;
    if (S_ISDIR(target.st_mode))
        return EISDIR;
    return 0;
}

int CopyRegular(const std::string& src, const struct stat& seen, const std::string& finalName,
                TempEntry& temp, const CopyProgress& progress, const volatile int* cancel) {
    // O_NONBLOCK: should a FIFO take the file's place, the open must not hang.
    UniqueFd in(sys::OpenAt(AT_FDCWD, src.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.Valid())
        return errno;
    struct stat st;
    if (sys::Fstat(in.Get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode) || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino)
        return EINVAL;
    UniqueFd out = temp.CreateFile(finalName, 0600);
    if (!out.Valid())
        return errno;
    if (int error = CopyData(in.Get(), out.Get(), static_cast<std::uint64_t>(st.st_size), progress,
                             cancel))
        return error;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (sys::Fchmod(out.Get(), st.st_mode & 0777) != 0 || sys::Futimens(out.Get(), times) != 0 ||
        sys::Fsync(out.Get()) != 0)
        return errno;
    return out.CloseChecked();
}

int CopyLink(const std::string& src, const struct stat& st, int dirfd, TempEntry& temp,
             const std::string& finalName, const CopyProgress& progress) {
    std::string target;
    if (int error =
            ReadLinkTarget(AT_FDCWD, src.c_str(), static_cast<std::size_t>(st.st_size), target))
        return error;
    Report(progress, 0, 0);
    if (int error = temp.CreateLink(target, finalName))
        return error;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (sys::UtimensNoFollowAt(dirfd, temp.Name().c_str(), times) != 0)
        return errno;
    return 0;
}

}  // namespace

int CopyToTemp(const std::string& src, int dirfd, const std::string& finalName, TempEntry& temp,
               const CopyProgress& progress, const volatile int* cancel) {
    std::string source = StripTrailingSlashes(src);
    struct stat st;
    if (sys::LstatAt(AT_FDCWD, source.c_str(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return EINVAL;
    if (int error = CheckNotSame(st, dirfd, finalName))
        return error;
    if (S_ISLNK(st.st_mode))
        return CopyLink(source, st, dirfd, temp, finalName, progress);
    return CopyRegular(source, st, finalName, temp, progress, cancel);
}

int CopyFile(const std::string& src, const std::string& dst, const CopyProgress& progress,
             const volatile int* cancel) {
    return ReturningErrno([&]() -> int {
        SplitPath to = Split(dst);
        if (to.name.empty() || to.name == "." || to.name == "..")
            return EISDIR;
        ParentDir dir(to.folder);
        if (dir.Fd() < 0)
            return errno;
        TempEntry temp(dir.Fd());
        if (int error = CopyToTemp(src, dir.Fd(), to.name, temp, progress, cancel))
            return error;
        if (sys::RenameAt(dir.Fd(), temp.Name().c_str(), dir.Fd(), to.name.c_str()) != 0)
            return errno;
        temp.Release();
        // Until the folder is flushed the new name may not survive a crash;
        // report that, so the caller keeps the source.
        if (sys::Fsync(dir.Fd()) != 0)
            return errno;
        return 0;
    });
}

}  // namespace tidyfold::fs
