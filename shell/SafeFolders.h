#pragma once

// The folders a pass may work in, judged by identity (device and inode, of
// the folder and of those above it), never by the spelling of a path: "."
// and "..", doubled "/" and links on the way change nothing. The Desktop is
// never "/", the home folder or a folder that holds it; the offload folder
// is never "/", the home folder, the Desktop or a folder that holds it.

#include <string>
#include <vector>

#include "fs/OpenFolder.h"

namespace tidyfold {

// "/" and the home folder with every folder above it.
struct Landmarks {
    fs::Identity root;
    // The home folder first, "/" last; empty when there is no home folder.
    std::vector<fs::Identity> homeAndAbove;

    // Throws when the home folder exists but cannot be opened.
    static Landmarks Find();
};

// Throws Error::Refused when folder is "/", the home folder, or a folder
// that holds the home folder. Such a "Desktop" would offload or delete the
// user's whole home folder, dot files included.
void RefuseUnsafeDesktop(const fs::OpenFolder& folder, const Landmarks& landmarks);

// Throws Error::Refused for an empty or relative offload path (a cancelled
// browse of old, a settings file written on another system).
void RefuseUnsafeOffloadPath(const std::string& path);

// Throws Error::Refused when offload is "/", the home folder, the Desktop or
// a folder that holds the Desktop. desktopAndAbove: the Desktop's identity,
// then those of the folders above it.
void RefuseUnsafeOffload(const fs::OpenFolder& offload, const std::vector<fs::Identity>& desktopAndAbove,
                         const Landmarks& landmarks);

// The whole check of a path chosen as the offload folder, as the Options
// dialog makes it: the path itself, then, when the folder exists, its
// identity against "/", the home folder and the Desktop (when the Desktop
// can be opened and is itself safe).
void CheckOffloadFolder(const std::string& path);

}  // namespace tidyfold
