// What the system says of a folder beyond its listing: how its file system
// is mounted, and which folder a recorded path leads to.

#include <fcntl.h>
#include <sys/statvfs.h>

#include "fs/OpenFolder.h"
#include "fs/Sys.h"

namespace tidyfold::fs {

bool OpenFolder::KeepsNoAccessTimes() const {
    struct statvfs st;
    return sys::Fstatvfs(fd_.Get(), &st) == 0 && (st.f_flag & ST_NOATIME) != 0;
}

std::optional<Identity> FolderIdentityAt(const std::string& path) {
    struct stat st;
    if (path.empty() || sys::StatAt(AT_FDCWD, path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return IdentityOf(st);
}

}  // namespace tidyfold::fs
