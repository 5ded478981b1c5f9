#include "history/Roots.h"

#include "base/Error.h"
#include "shell/SafeFolders.h"

namespace tidyfold::history {

std::string LastName(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

bool SafeRelative(const std::string& relative) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = relative.find('/', start);
        const std::string name = relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (name.empty() || name == "." || name == "..")
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

namespace {

// The checks of a pass on the very folders opened, by identity.
std::string RefusalOf(const std::optional<fs::OpenFolder>& desktop, const std::optional<fs::OpenFolder>& offload) {
    try {
        const Landmarks landmarks = Landmarks::Find();
        std::vector<fs::Identity> desktopAndAbove;
        if (desktop) {
            RefuseUnsafeDesktop(*desktop, landmarks);
            desktopAndAbove = desktop->SelfAndAncestors();
        }
        if (offload)
            RefuseUnsafeOffload(*offload, desktopAndAbove, landmarks);
    } catch (const Error& error) {
        if (error.What() != Error::Kind::Refused)
            throw;
        return error.Description();
    }
    return {};
}

}  // namespace

Roots::Roots(const PassRecord& pass) {
    desktop_.root = fs::OpenFolder::OpenIfPresent(pass.desktop);
    offload_.root = fs::OpenFolder::OpenIfPresent(pass.offload);
    refusal_ = RefusalOf(desktop_.root, offload_.root);
    for (Tree* tree : {&desktop_, &offload_})
        if (tree->root)
            tree->chain.emplace(*tree->root);
}

const fs::OpenFolder* Roots::Root(Side side) const {
    const Tree& tree = side == Side::Desktop ? desktop_ : offload_;
    return tree.root ? &*tree.root : nullptr;
}

const fs::OpenFolder* Roots::Remembered(Tree& tree, const std::string& relative) const {
    const std::size_t slash = relative.rfind('/');
    const std::size_t length = slash == std::string::npos ? 0 : slash;
    if (tree.last == nullptr || tree.lastFolder.size() != length || relative.compare(0, length, tree.lastFolder) != 0)
        return nullptr;
    return tree.last;
}

const fs::OpenFolder* Roots::Remember(Tree& tree, const std::string& relative, const fs::OpenFolder* folder) {
    const std::size_t slash = relative.rfind('/');
    tree.lastFolder = relative.substr(0, slash == std::string::npos ? 0 : slash);
    tree.last = folder;
    return folder;
}

Spot Roots::Find(Side side, const std::string& relative) {
    Tree& tree = TreeOf(side);
    Spot spot;
    spot.name = LastName(relative);
    if (!tree.chain || !SafeRelative(relative))
        return spot;
    spot.folder = Remembered(tree, relative);
    if (spot.folder == nullptr)
        spot.folder = Remember(tree, relative, tree.chain->Open(relative));
    if (spot.folder != nullptr)
        spot.entry = spot.folder->Stat(spot.name);
    return spot;
}

const fs::OpenFolder* Roots::FolderAt(Side side, const std::string& folder) {
    if (folder.empty())
        return Root(side);
    Tree& tree = TreeOf(side);
    if (!tree.chain || !SafeRelative(folder))
        return nullptr;
    // Every name before the last "/" is a folder to enter: all of them here.
    return Remember(tree, folder + "/", tree.chain->Open(folder + "/"));
}

const fs::OpenFolder* Roots::Make(Side side, const std::string& relative, fs::Flush flush, std::string& link) {
    Tree& tree = TreeOf(side);
    if (!tree.chain || !SafeRelative(relative))
        return nullptr;
    if (const fs::OpenFolder* known = Remembered(tree, relative))
        return known;
    return Remember(tree, relative, tree.chain->Make(relative, flush, link));
}

}  // namespace tidyfold::history
