#pragma once

#include <optional>
#include <string>

#include "engine/Collected.h"
#include "engine/FolderChain.h"
#include "engine/PassFolders.h"
#include "engine/Yield.h"
#include "fs/Drive.h"

namespace tidyfold {

// Where the transfer loop finds each collected file and puts it: the folder
// that holds it, entered again from the Desktop one name at a time, and its
// destination below the offload folder, made the same way.
class TransferFolders {
public:
    // folders' offload folder must exist already.
    explicit TransferFolders(PassFolders& folders)
        : offload_(folders.Offload(fs::Flush::Yes)), source_(folders.Desktop()), destination_(offload_) {}

    const fs::OpenFolder& Offload() const noexcept { return offload_; }
    // What the offload folder's drive can hold, found out once per pass.
    const fs::DriveRules& OffloadRules() {
        if (!rules_)
            rules_ = fs::RulesOf(offload_);
        return *rules_;
    }

    // The folder that holds file, when it is still the folder the scan found
    // it in; nothing when that folder is gone or was replaced since. Valid
    // until the next call of Source.
    const fs::OpenFolder* Source(const CollectedFile& file) {
        if (YieldCount() != sourceCheckedAt_) {
            source_.Revalidate();
            sourceCheckedAt_ = YieldCount();
        }
        const fs::OpenFolder* folder = source_.Open(file.relative);
        return folder != nullptr && folder->Id() == file.folder ? folder : nullptr;
    }

    // Whether the folder Source gave is still in its place below the Desktop
    // (the pass may have yielded since, during a copy).
    bool SourceInPlace() const { return YieldCount() == sourceCheckedAt_ || source_.Intact(); }

    // The folder below the offload folder that file goes to, made where
    // missing; nothing when a name on the way is a link (link names it).
    // Valid until the next call of Destination.
    const fs::OpenFolder* Destination(const CollectedFile& file, fs::Flush flush, std::string& link) {
        if (YieldCount() != destinationCheckedAt_) {
            destination_.Revalidate();
            destinationCheckedAt_ = YieldCount();
        }
        return destination_.Make(file.relative, flush, link);
    }

private:
    // Folders kept open from earlier files are trusted only while the pass
    // has not yielded: meanwhile the user may have moved one out of the
    // Desktop or the offload folder, and nothing is done in it there.
    const fs::OpenFolder& offload_;
    FolderChain source_;
    FolderChain destination_;
    std::optional<fs::DriveRules> rules_;
    std::uint64_t sourceCheckedAt_ = YieldCount();
    std::uint64_t destinationCheckedAt_ = YieldCount();
};

}  // namespace tidyfold
