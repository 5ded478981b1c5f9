#include "fs/ReadOpen.h"

#include <fcntl.h>

#include <cerrno>

#include "fs/Sys.h"

namespace tidyfold::fs {

int OpenToRead(int dirfd, const std::string& name) {
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const int fd = sys::OpenAt(dirfd, name.c_str(), kFlags | O_NOATIME);
    if (fd >= 0 || errno != EPERM)
        return fd;
    return sys::OpenAt(dirfd, name.c_str(), kFlags);
}

}  // namespace tidyfold::fs
