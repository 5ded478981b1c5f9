#include "fs/Permissions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "fs/Handles.h"

namespace tidyfold::fs {

bool SetPermissions(const OpenFolder& folder, const std::string& name, const Identity& id, std::uint32_t mode) {
    struct stat st;
    if (sys::LstatAt(folder.Fd(), name.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return false;
        ThrowErrno("cannot read the details of", JoinPath(folder.Path(), name));
    }
    if (!S_ISREG(st.st_mode) || IdentityOf(st) != id)
        return false;
    if ((st.st_mode & 07777) == (mode & 07777))
        return true;
    if (sys::FchmodNoFollowAt(folder.Fd(), name.c_str(), static_cast<mode_t>(mode & 07777)) == 0)
        return true;
    // Gone, or a link took its place since the stat: not the file any more.
    if (errno == ENOENT || errno == EOPNOTSUPP)
        return false;
    ThrowErrno("cannot change the permissions of", JoinPath(folder.Path(), name));
}

int WhyNoNewFileIn(const std::string& folder) {
    // The effective ids decide, as they do for an open.
    return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

}  // namespace tidyfold::fs
