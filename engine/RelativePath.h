#pragma once

#include <string>

namespace tidyfold {

// A name below a Desktop-relative folder ("" is the Desktop itself), as the
// keep list, the plan and the history spell it.
inline std::string RelativePath(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

}  // namespace tidyfold
