#include <fcntl.h>

#include <cerrno>

#include "fs/FileSystem.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

std::string ReadKernelFile(const std::string& path) {
    UniqueFd fd(sys::OpenAt(AT_FDCWD, path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        ThrowErrno("cannot open", path);
    // Such files report a size of 0: what they hold is what reads give
    // until the end.
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = sys::Read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ThrowErrno("cannot read", path);
        if (got == 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace tidyfold::fs
