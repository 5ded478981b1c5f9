#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

std::string StripTrailingSlashes(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    return path.substr(0, end);
}

SplitPath Split(const std::string& path) {
    std::string whole = StripTrailingSlashes(path);
    std::size_t slash = whole.rfind('/');
    if (slash == std::string::npos)
        return {std::string(), whole};
    return {ParentPath(whole), whole.substr(slash + 1)};
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string ParentPath(const std::string& path) {
    std::string whole = StripTrailingSlashes(path);
    std::size_t slash = whole.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    // "/a//b" has the parent "/a", not "/a/".
    while (slash > 0 && whole[slash - 1] == '/')
        --slash;
    return slash == 0 ? std::string("/") : whole.substr(0, slash);
}

std::string ResolveIfLink(const std::string& path) {
    struct stat st;
    const std::string whole = StripTrailingSlashes(path);
    if (whole.empty() || sys::LstatAt(AT_FDCWD, whole.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    std::unique_ptr<char, decltype(&std::free)> real(realpath(whole.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

std::string RealFolderPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    if (!real)
        ThrowErrno("cannot find the folder", path);
    struct stat st;
    if (sys::LstatAt(AT_FDCWD, real.get(), &st) != 0)
        ThrowErrno("cannot find the folder", path);
    if (!S_ISDIR(st.st_mode))
        ThrowErrno(ENOTDIR, "cannot find the folder", path);
    return real.get();
}

UniqueFd OpenDirectoryAt(int dirfd, const std::string& path) {
    return UniqueFd(
        sys::OpenAt(dirfd, path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

ParentDir::ParentDir(const std::string& folder) {
    const char* name = folder.empty() ? "." : folder.c_str();
    fd_ = UniqueFd(sys::OpenAt(AT_FDCWD, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = sys::Write(fd, data, size);
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

int ReadLinkTarget(int dirfd, const char* path, std::size_t sizeHint, std::string& target) {
    // Some links report size 0 (those of /proc), and a link may be replaced
    // by a longer one between lstat and readlink: grow until the text fits.
    std::size_t size = sizeHint < 256 ? 256 : sizeHint + 1;
    for (int attempt = 0; attempt < 8; ++attempt, size *= 4) {
        std::string buffer(size, '\0');
        ssize_t length = sys::ReadlinkAt(dirfd, path, buffer.data(), buffer.size());
        if (length < 0)
            return errno;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            target = std::move(buffer);
            return 0;
        }
    }
    return ENAMETOOLONG;
}

int UniqueFd::CloseChecked() noexcept {
    if (fd_ < 0)
        return 0;
    int result = sys::Close(std::exchange(fd_, -1));
    return result == 0 ? 0 : errno;
}

void ThrowErrno(const char* operation, const std::string& path) { ThrowErrno(errno, operation, path); }

void ThrowErrno(int errnum, const char* operation, const std::string& path) {
    throw Error::System(errnum == 0 ? EIO : errnum, operation, path);
}

}  // namespace tidyfold::fs
