#pragma once

// The folders one operation works in, opened once and checked by identity
// before anything is touched: the Desktop (or the folder an operation was
// given as the Desktop) and the offload folder that the settings name. The
// checks are made on the very descriptors the operation then uses, so there
// is no gap between checking a folder and working in it.

#include <optional>
#include <string>
#include <vector>

#include "fs/Drive.h"
#include "fs/OpenFolder.h"
#include "shell/SafeFolders.h"

namespace tidyfold {

class PassFolders {
public:
    // Opens desktop (following links: the user chose it) and refuses it when
    // it is "/", the home folder or above it. An offload path that is empty
    // or relative names no folder here (Clean refuses it before); an
    // existing offload folder is refused when it is "/", the home folder, the
    // Desktop or above the Desktop; a missing one is checked once made.
    PassFolders(const std::string& desktop, const std::string& offload);

    const fs::OpenFolder& Desktop() const noexcept { return desktop_; }

    // True for a folder that no walk may enter, empty or remove: the offload
    // folder and every folder that holds it (while it does not exist yet,
    // its nearest existing ancestor and those above), the home folder and
    // those above it, the Desktop and those above it, the user's Trash (or
    // the nearest existing folder of its path) and those above it.
    bool MustKeep(const fs::Identity& id) const;

    // The offload folder, made when missing (one level: its parent must
    // exist) and then checked again on the descriptor that is returned.
    const fs::OpenFolder& Offload(fs::Flush flush);

    // What the offload folder's drive can hold (while the folder does not
    // exist yet, the drive of the nearest folder above it), for telling
    // ahead what would stay on the Desktop.
    fs::DriveRules OffloadRules() const;

private:
    void Keep(const std::vector<fs::Identity>& ids);
    void KeepHomeTrash();

    Landmarks landmarks_;
    fs::OpenFolder desktop_;
    std::vector<fs::Identity> desktopAndAbove_;
    std::string offloadPath_;
    std::optional<fs::OpenFolder> offload_;
    std::vector<fs::Identity> keep_;
};

}  // namespace tidyfold
