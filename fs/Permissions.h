#pragma once

#include <cstdint>
#include <string>

#include "fs/OpenFolder.h"

namespace tidyfold::fs {

// Sets the permission bits of the regular file name in folder to mode, if
// name still leads to the file id (false otherwise, and for a link, whose
// permissions mean nothing and whose target must never be changed).
// Throws on any other failure.
bool SetPermissions(const OpenFolder& folder, const std::string& name, const Identity& id, std::uint32_t mode);

// Why this process could not create a file in folder: EROFS on a read-only
// drive, EACCES without write permission, ENOENT when it is missing; 0 when
// it could.
int WhyNoNewFileIn(const std::string& folder);

}  // namespace tidyfold::fs
