#pragma once

#include <string>

#include "fs/OpenFolder.h"

namespace tidyfold::fs {

// Removes the folder `name` inside the open folder parentfd with everything
// in it: write-protected and unreadable entries too, links unlinked but never
// followed, and no descent into another mounted file system. path names the
// folder in errors. Throws tidyfold::Error on the first failure. With
// expected, removes nothing and returns false unless name is that folder.
bool RemoveTreeAt(int parentfd, const std::string& name, const std::string& path,
                  const Identity* expected = nullptr);

}  // namespace tidyfold::fs
