#include "shell/TrashFolder.h"

#include <cstdlib>

#include "shell/HomeFolder.h"
#include "shell/UserDirs.h"

namespace tidyfold {

std::string HomeTrashFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    const std::string home = HomeFolder();
    // Without a home, only an explicit data folder says where the Trash is.
    if (home.empty() && (data == nullptr || data[0] != '/'))
        return {};
    const std::string folder = WithoutTrailingSlash(DataHome(home));
    return (folder == "/" ? std::string() : folder) + "/Trash";
}

}  // namespace tidyfold
