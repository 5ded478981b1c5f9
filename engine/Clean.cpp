// One whole tidying run over the Desktop.

#include <cerrno>
#include <cmath>
#include <utility>

#include "engine/cTidyfold.h"
#include "base/Error.h"
#include "shell/cSpecialFolders.h"

namespace tidyfold {

namespace {

// Settings that would make a pass destructive are refused before anything on
// disk is touched.
void CheckSettings(float timeLimit, const std::string& offload) {
    if (!std::isfinite(timeLimit) || timeLimit < 0.0f)
        throw Error::Refused("The time limit must be a number of days of zero or more.");
    if (offload.empty())
        throw Error::Refused("No offload folder is set. Choose a folder in the Options.");
    if (offload.front() != '/')
        throw Error::Refused("The offload folder must be a full path beginning with \"/\": " + offload);
}

// Holds the Desktop path for the transfer loop and lets it go however the
// loop ends: on Cancel, on an error, or at its end.
class DesktopForTransfers {
public:
    DesktopForTransfers(std::string& slot, std::string desktop) : slot_(slot) { slot_ = std::move(desktop); }
    ~DesktopForTransfers() { slot_.clear(); }
    DesktopForTransfers(const DesktopForTransfers&) = delete;
    DesktopForTransfers& operator=(const DesktopForTransfers&) = delete;

private:
    std::string& slot_;
};

}  // namespace

std::optional<std::int32_t> cTidyfold::Clean() {
    Options_->LoadOptions();
    TrashDirectory(Options_->OffloadPath());
    TimeLimit(Options_->TimeLimit());
    CheckSettings(TimeLimit_, Options_->OffloadPath());
    // An offload folder that is itself a link is taken at its target, as the
    // Desktop is: the file layer never creates or enters a folder through one.
    Options_->OffloadPath(fs::ResolveIfLink(Options_->OffloadPath()));

    ScanDesktopFiles();
    Recurse(cSpecialFolders().Desktop());
    if (colFiles_.empty())
        return std::nullopt;

    RaiseSetFileCount(static_cast<std::int32_t>(colFiles_.size()));
    EnsureOffloadFolder();
    // Every destination is cut from one Desktop path, looked up once: each
    // lookup reads user-dirs.dirs and resolves links, which made up half of a
    // pass of small moves, and the user pointing the Desktop elsewhere
    // meanwhile should not end the pass half-way.
    const DesktopForTransfers desktop(transferDesktop_, cSpecialFolders().Desktop());
    // By index, and each entry copied: a listener may call back into the
    // engine and grow the list while a file is transferred.
    for (std::size_t i = 0; i < colFiles_.size(); ++i) {
        if (Cancel_ != 0)
            return std::nullopt;
        const fs::File file = colFiles_[i];
        TransferFile(file);
    }
    CleanUpFolders(cSpecialFolders().Desktop());
    return static_cast<std::int32_t>(colFiles_.size());
}

void cTidyfold::ScanDesktopFiles() {
    for (const fs::File& file : fs::Folder::Get(cSpecialFolders().Desktop()).Files())
        ExamineFile(file, LimitFrom::Options);
}

void cTidyfold::EnsureOffloadFolder() {
    const std::string& offload = Options_->OffloadPath();
    if (!fs::FolderExists(offload))
        fs::CreateFolder(offload);
}

}  // namespace tidyfold
