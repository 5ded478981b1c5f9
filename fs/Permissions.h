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

}  // namespace tidyfold::fs
