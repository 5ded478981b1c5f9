#include "engine/FolderChain.h"

namespace tidyfold {

std::vector<std::string> FolderNames(const std::string& relative) {
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', start)) {
        names.push_back(relative.substr(start, slash - start));
        start = slash + 1;
    }
    return names;
}

std::size_t FolderChain::KeepShared(const std::vector<std::string>& names) {
    std::size_t shared = 0;
    while (shared < names.size() && shared < names_.size() && names[shared] == names_[shared])
        ++shared;
    names_.resize(shared);
    while (open_.size() > shared)
        open_.pop_back();
    return shared;
}

namespace {

// The first open folder whose name in its parent no longer leads to it.
std::size_t FirstMoved(const fs::OpenFolder& root, const std::vector<std::string>& names,
                       const std::vector<fs::OpenFolder>& open) {
    for (std::size_t i = 0; i < open.size(); ++i) {
        const fs::OpenFolder& parent = i == 0 ? root : open[i - 1];
        const std::optional<fs::Entry> now = parent.Stat(names[i]);
        if (!now || now->kind != fs::EntryKind::Folder || now->id != open[i].Id())
            return i;
    }
    return open.size();
}

}  // namespace

void FolderChain::Revalidate() {
    const std::size_t moved = FirstMoved(root_, names_, open_);
    names_.resize(moved);
    while (open_.size() > moved)
        open_.pop_back();
}

bool FolderChain::Intact() const { return FirstMoved(root_, names_, open_) == open_.size(); }

const fs::OpenFolder* FolderChain::Make(const std::string& relative, fs::Flush flush, std::string& link) {
    const std::vector<std::string> names = FolderNames(relative);
    for (std::size_t i = KeepShared(names); i < names.size(); ++i) {
        std::optional<fs::OpenFolder> next = Deepest().MakeSub(names[i], flush);
        if (!next) {
            link = fs::JoinPath(Deepest().Path(), names[i]);
            return nullptr;
        }
        open_.push_back(std::move(*next));
        names_.push_back(names[i]);
    }
    return &Deepest();
}

const fs::OpenFolder* FolderChain::Open(const std::string& relative) {
    const std::vector<std::string> names = FolderNames(relative);
    for (std::size_t i = KeepShared(names); i < names.size(); ++i) {
        std::optional<fs::OpenFolder> next = Deepest().OpenSubIfFolder(names[i]);
        if (!next)
            return nullptr;
        open_.push_back(std::move(*next));
        names_.push_back(names[i]);
    }
    return &Deepest();
}

}  // namespace tidyfold
