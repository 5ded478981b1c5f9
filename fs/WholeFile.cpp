#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

#include "fs/FileSystem.h"
#include "fs/Handles.h"
#include "fs/Temp.h"

namespace tidyfold::fs {

namespace {

constexpr int kReadFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Refuses (EFBIG) a file larger than limit: before it is read when its size
// says so, and while it is read when it grows meanwhile.
std::string ReadAll(int fd, const std::string& path, std::size_t limit = SIZE_MAX) {
    struct stat st;
    if (sys::Fstat(fd, &st) != 0)
        ThrowErrno("cannot read", path);
    if (S_ISDIR(st.st_mode))
        ThrowErrno(EISDIR, "cannot read", path);
    if (!S_ISREG(st.st_mode))
        ThrowErrno(EINVAL, "cannot read", path);
    if (static_cast<std::uint64_t>(st.st_size) > limit)
        ThrowErrno(EFBIG, "cannot read", path);
    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[64 * 1024];
    for (;;) {
        ssize_t got = sys::Read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ThrowErrno("cannot read", path);
        if (got == 0)
            break;
        if (static_cast<std::size_t>(got) > limit - text.size())
            ThrowErrno(EFBIG, "cannot read", path);
        text.append(buffer, static_cast<std::size_t>(got));
    }
    // A read that ends before the end of the file (a file system answering
    // "no more" too early) would hand back a settings text cut in the middle
    // of a value: an offload folder path cut short names another folder.
    // Files of /proc give no size (0) and are read to their end.
    if (st.st_size > 0 && text.size() != static_cast<std::size_t>(st.st_size))
        ThrowErrno(EIO, "cannot read", path);
    return text;
}

void WriteAll(int fd, const std::string& contents, const std::string& path) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t written = sys::Write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            ThrowErrno(written == 0 ? EIO : errno, "cannot write", path);
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
    UniqueFd fd(sys::OpenAt(AT_FDCWD, path.c_str(), kReadFlags));
    if (!fd.Valid())
        ThrowErrno("cannot open", path);
    return ReadAll(fd.Get(), path);
}

std::string ReadLinkedFileUpTo(const std::string& path, std::size_t limit) {
    UniqueFd fd(sys::OpenAt(AT_FDCWD, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        ThrowErrno("cannot open", path);
    return ReadAll(fd.Get(), path, limit);
}

std::string ReadLinkedConfigFile(const std::string& path) { return ReadLinkedFileUpTo(path, SIZE_MAX); }

std::string ReadOrCreateFile(const std::string& path) {
    // Twice at most: the file may be created or removed by someone else
    // between our two opens.
    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueFd fd(sys::OpenAt(AT_FDCWD, path.c_str(), kReadFlags));
        if (fd.Valid())
            return ReadAll(fd.Get(), path);
        if (errno != ENOENT)
            ThrowErrno("cannot open", path);
        UniqueFd created(sys::OpenAt(AT_FDCWD, path.c_str(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (created.Valid()) {
            if (int error = created.CloseChecked())
                ThrowErrno(error, "cannot create", path);
            return std::string();
        }
        if (errno != EEXIST)
            ThrowErrno("cannot create", path);
    }
    ThrowErrno(EEXIST, "cannot create", path);
}

void WriteFileAtomically(const std::string& path, const std::string& contents) {
    SplitPath split = Split(path);
    if (split.name.empty() || split.name == "." || split.name == "..")
        ThrowErrno(EISDIR, "cannot write", path);
    ParentDir dir(split.folder);
    if (dir.Fd() < 0)
        ThrowErrno("cannot open folder", split.folder.empty() ? std::string(".") : split.folder);
    struct stat old;
    bool keepMode = sys::LstatAt(dir.Fd(), split.name.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    TempEntry temp(dir.Fd());
    UniqueFd fd = temp.CreateFile(split.name, 0666);
    if (!fd.Valid())
        ThrowErrno("cannot write", path);
    WriteAll(fd.Get(), contents, path);
    if (keepMode && sys::Fchmod(fd.Get(), old.st_mode & 07777) != 0)
        ThrowErrno("cannot write", path);
    if (sys::Fsync(fd.Get()) != 0)
        ThrowErrno("cannot write", path);
    if (int error = fd.CloseChecked())
        ThrowErrno(error, "cannot write", path);
    if (sys::RenameAt(dir.Fd(), temp.Name().c_str(), dir.Fd(), split.name.c_str()) != 0)
        ThrowErrno("cannot write", path);
    temp.Release();
    if (sys::Fsync(dir.Fd()) != 0)
        ThrowErrno("cannot write", path);
}

}  // namespace tidyfold::fs
