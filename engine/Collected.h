#pragma once

#include <string>

#include "fs/OpenFolder.h"

namespace tidyfold {

// A file the scan found old enough, with what the scan saw of it, so that
// transferring it is a step of its own: its place, relative to the Desktop,
// is found again one name at a time and it is acted on only while it still
// is this file.
struct CollectedFile {
    // Its path below the Desktop, "a/b/x.txt" (names joined by "/").
    std::string relative;
    // The folder that held it, by identity.
    fs::Identity folder;
    // The file or link itself: name, identity, size, times and permission
    // bits as the scan's listing gave them.
    fs::Entry seen;
};

}  // namespace tidyfold
