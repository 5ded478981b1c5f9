#include "shell/StateFolder.h"

#include <cstdlib>

#include "shell/HomeFolder.h"

namespace tidyfold {

std::string StateFolder() {
    // A relative value is invalid by the XDG rules and is ignored.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return WithoutTrailingSlash(state);
    const std::string home = HomeFolder();
    if (home.empty())
        return {};
    return (home == "/" ? std::string() : home) + "/.local/state";
}

}  // namespace tidyfold
