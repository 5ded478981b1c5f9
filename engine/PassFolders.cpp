#include "engine/PassFolders.h"

#include <algorithm>
#include <cerrno>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "shell/TrashFolder.h"

namespace tidyfold {

namespace {

// The folder at path or, when it does not exist yet, the nearest folder
// above it that does: what a folder made later at path would lie in. A
// folder that exists but cannot be opened ends the operation, since it could
// be the one to keep.
std::optional<fs::OpenFolder> NearestExisting(std::string path) {
    for (;;) {
        try {
            if (std::optional<fs::OpenFolder> folder = fs::OpenFolder::OpenIfPresent(path))
                return folder;
        } catch (const Error& error) {
            // A file where a folder of the path belongs: look further up.
            if (!error.IsSystem(ENOTDIR))
                throw;
        }
        const std::string parent = fs::ParentPath(path);
        if (parent.empty() || parent == path)
            return std::nullopt;
        path = parent;
    }
}

bool IsFullPath(const std::string& path) { return !path.empty() && path.front() == '/'; }

}  // namespace

PassFolders::PassFolders(const std::string& desktop, const std::string& offload)
    : landmarks_(Landmarks::Find()), desktop_(fs::OpenFolder::Open(desktop)), offloadPath_(offload) {
    RefuseUnsafeDesktop(desktop_, landmarks_);
    desktopAndAbove_ = desktop_.SelfAndAncestors();
    Keep(desktopAndAbove_);
    Keep(landmarks_.homeAndAbove);
    KeepHomeTrash();
    if (!IsFullPath(offloadPath_))
        return;
    offload_ = fs::OpenFolder::OpenIfPresent(offloadPath_);
    if (offload_) {
        RefuseUnsafeOffload(*offload_, desktopAndAbove_, landmarks_);
        Keep(offload_->SelfAndAncestors());
    } else if (const std::optional<fs::OpenFolder> nearest = NearestExisting(fs::ParentPath(offloadPath_))) {
        Keep(nearest->SelfAndAncestors());
    }
}

void PassFolders::KeepHomeTrash() {
    // What earlier passes sent to the Trash must not be trashed again (its
    // info files would no longer lead back to the Desktop), nor its folders
    // removed as empty, should the data folder lie on the Desktop. A Trash
    // that cannot be looked at is none of this pass's business.
    const std::string trash = HomeTrashFolder();
    if (trash.empty())
        return;
    try {
        if (const std::optional<fs::OpenFolder> nearest = NearestExisting(trash))
            Keep(nearest->SelfAndAncestors());
    } catch (const Error&) {
    }
}

void PassFolders::Keep(const std::vector<fs::Identity>& ids) {
    for (const fs::Identity& id : ids) {
        if (!MustKeep(id))
            keep_.push_back(id);
    }
}

bool PassFolders::MustKeep(const fs::Identity& id) const {
    return std::find(keep_.begin(), keep_.end(), id) != keep_.end();
}

const fs::OpenFolder& PassFolders::Offload(fs::Flush flush) {
    if (offload_)
        return *offload_;
    RefuseUnsafeOffloadPath(offloadPath_);
    const fs::SplitPath split = fs::Split(offloadPath_);
    const fs::OpenFolder parent = fs::OpenFolder::Open(split.folder);
    std::optional<fs::OpenFolder> made = parent.MakeSub(split.name, flush);
    if (!made)
        throw Error::System(ELOOP, "cannot create folder", offloadPath_);
    RefuseUnsafeOffload(*made, desktopAndAbove_, landmarks_);
    Keep(made->SelfAndAncestors());
    offload_ = std::move(made);
    return *offload_;
}

}  // namespace tidyfold

namespace tidyfold {

fs::DriveRules PassFolders::OffloadRules() const {
    if (offload_)
        return fs::RulesOf(*offload_);
    if (IsFullPath(offloadPath_))
        if (const std::optional<fs::OpenFolder> nearest = NearestExisting(fs::ParentPath(offloadPath_)))
            return fs::RulesOf(*nearest);
    return {};
}

}  // namespace tidyfold
