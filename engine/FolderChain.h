#pragma once

// Open folders along one path below a root, kept from one call to the next.
// The transfer loop meets files in the order the scan found them, so
// consecutive files mostly share their folders, and each folder on the way
// is opened (or made) once, one name at a time, never through a link.

#include <optional>
#include <string>
#include <vector>

#include "fs/OpenFolder.h"

namespace tidyfold {

class FolderChain {
public:
    explicit FolderChain(const fs::OpenFolder& root) : root_(root) {}

    // The folder that holds relative ("a/b" for "a/b/x.txt"; the root for
    // "x.txt"), entered without following links and made where missing.
    // Nothing when a name on the way is a link; link then names it. Throws
    // when a folder cannot be made or opened.
    const fs::OpenFolder* Make(const std::string& relative, fs::Flush flush, std::string& link);
    // The folder that holds relative, entered without following links and
    // without making anything. Nothing when a name on the way is gone or is
    // not a real folder. Throws on any other failure.
    const fs::OpenFolder* Open(const std::string& relative);

    // Closes the open folders from the first one whose name no longer leads
    // to it (moved or replaced meanwhile), so that they are entered afresh.
    void Revalidate();
    // True when every open folder is still where its name says; changes
    // nothing, so folders handed out stay valid.
    bool Intact() const;

private:
    // Keeps the open folders shared with names; the rest are closed.
    std::size_t KeepShared(const std::vector<std::string>& names);
    const fs::OpenFolder& Deepest() const { return open_.empty() ? root_ : open_.back(); }

    const fs::OpenFolder& root_;
    std::vector<std::string> names_;
    std::vector<fs::OpenFolder> open_;
};

// The folder names of a relative path: "a/b/x.txt" gives {"a", "b"}.
std::vector<std::string> FolderNames(const std::string& relative);

}  // namespace tidyfold
