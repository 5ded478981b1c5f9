#include <fcntl.h>

#include <mutex>

#include "fs/FileSystem.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

namespace {
std::mutex overrideMutex;
std::string overrideFolder;
}  // namespace

std::string ApplicationFolder() {
    {
        std::lock_guard lock(overrideMutex);
        if (!overrideFolder.empty())
            return overrideFolder;
    }
    std::string executable;
    if (int error = ReadLinkTarget(AT_FDCWD, "/proc/self/exe", 0, executable))
        ThrowErrno(error, "cannot find the program's folder through", "/proc/self/exe");
    return ParentPath(executable);
}

void SetApplicationFolderForTesting(std::string folder) {
    std::lock_guard lock(overrideMutex);
    overrideFolder = StripTrailingSlashes(folder);
}

}  // namespace tidyfold::fs
