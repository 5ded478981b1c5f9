#include "shell/SafeFolders.h"

#include <algorithm>
#include <optional>

#include "base/Error.h"
#include "shell/HomeFolder.h"
#include "shell/cSpecialFolders.h"

namespace tidyfold {

namespace {

bool Holds(const std::vector<fs::Identity>& ids, const fs::Identity& id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool IsHome(const fs::Identity& id, const Landmarks& landmarks) {
    return !landmarks.homeAndAbove.empty() && landmarks.homeAndAbove.front() == id;
}

constexpr const char* kChooseAnother = " Choose another folder in the Options.";

}  // namespace

Landmarks Landmarks::Find() {
    Landmarks landmarks;
    landmarks.root = fs::OpenFolder::Open("/").Id();
    // No home folder at all means nothing can be inside it ("/" is still
    // refused on its own); one that exists but cannot be opened ends the
    // operation: without it the checks would let the home folder through.
    if (std::optional<fs::OpenFolder> home = fs::OpenFolder::OpenIfPresent(HomeFolder()))
        landmarks.homeAndAbove = home->SelfAndAncestors();
    return landmarks;
}

void RefuseUnsafeDesktop(const fs::OpenFolder& folder, const Landmarks& landmarks) {
    const fs::Identity id = folder.Id();
    if (id == landmarks.root)
        throw Error::Refused("Tidyfold will not clean this Desktop folder: it is the root folder \"/\".",
                             folder.Path());
    if (IsHome(id, landmarks))
        throw Error::Refused("Tidyfold will not clean this Desktop folder: it is your home folder.", folder.Path());
    if (Holds(landmarks.homeAndAbove, id))
        throw Error::Refused("Tidyfold will not clean this Desktop folder: it holds your home folder.",
                             folder.Path());
}

void RefuseUnsafeOffloadPath(const std::string& path) {
    if (path.empty())
        throw Error::Refused("No offload folder is set. Choose a folder in the Options.");
    if (path.front() != '/')
        throw Error::Refused("The offload folder must be a full path beginning with \"/\": " + path);
}

void RefuseUnsafeOffload(const fs::OpenFolder& offload, const std::vector<fs::Identity>& desktopAndAbove,
                         const Landmarks& landmarks) {
    const fs::Identity id = offload.Id();
    std::string why;
    if (id == landmarks.root)
        why = "The offload folder cannot be the root folder \"/\".";
    else if (IsHome(id, landmarks))
        why = "The offload folder cannot be your home folder.";
    else if (!desktopAndAbove.empty() && desktopAndAbove.front() == id)
        why = "The offload folder cannot be the Desktop folder itself.";
    else if (Holds(desktopAndAbove, id))
        why = "The offload folder cannot be a folder that holds the Desktop folder.";
    if (!why.empty())
        throw Error::Refused(why + kChooseAnother, offload.Path());
}

void CheckOffloadFolder(const std::string& path) {
    RefuseUnsafeOffloadPath(path);
    const std::optional<fs::OpenFolder> offload = fs::OpenFolder::OpenIfPresent(path);
    if (!offload)
        return;  // a folder still to be made cannot be any of those
    const Landmarks landmarks = Landmarks::Find();
    std::vector<fs::Identity> desktopAndAbove;
    // A missing or refused Desktop stops every pass, which says why; the
    // offload folder is then checked against "/" and home alone.
    if (const std::optional<fs::OpenFolder> desktop = fs::OpenFolder::OpenIfPresent(cSpecialFolders().Desktop())) {
        try {
            RefuseUnsafeDesktop(*desktop, landmarks);
            desktopAndAbove = desktop->SelfAndAncestors();
        } catch (const Error& error) {
            if (error.What() != Error::Kind::Refused)
                throw;
        }
    }
    RefuseUnsafeOffload(*offload, desktopAndAbove, landmarks);
}

}  // namespace tidyfold
