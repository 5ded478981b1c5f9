#include "shell/DataFolder.h"

#include <cstdlib>

#include "shell/HomeFolder.h"

namespace tidyfold {

std::string DataFolder() {
    // A relative value is invalid by the XDG rules and is ignored.
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/')
        return WithoutTrailingSlash(data);
    const std::string home = HomeFolder();
    if (home.empty())
        return {};
    return (home == "/" ? std::string() : home) + "/.local/share";
}

std::string HomeTrashFolder() {
    const std::string data = DataFolder();
    return data.empty() ? std::string() : (data == "/" ? std::string() : data) + "/Trash";
}

}  // namespace tidyfold
