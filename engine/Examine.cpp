// The per-file examination shared by the top-level scan and Recurse, and the
// null-file gate.

#include "base/Error.h"
#include "engine/Ageing.h"
#include "engine/FolderChain.h"
#include "engine/Yield.h"
#include "engine/cTidyfold.h"

namespace tidyfold {

std::int32_t cTidyfold::IsFileNullFile(const fs::File& tmpFile) {
    // The size matters only when the option is on; asking it otherwise would
    // cost one more stat per file of every scan.
    if (Options_->DelNullFiles() != 1)
        return 0;
    std::uint64_t size = 0;
    fs::FileTimes times;
    try {
        size = tmpFile.Size();
        times = tmpFile.Times();
    } catch (const Error&) {
        return 0;  // the examination that follows reports the unreadable file
    }
    // An empty file made a minute ago is about to be written: only an old
    // one is clutter.
    const double age = ageing::AgeInDays(clock_(), ageing::LastUseNs(times));
    if (size != 0 || !ageing::IsOlderThan(age, Options_->TimeLimit()))
        return 0;
    tmpFile.Delete(fs::Force::No);
    LogError("Deleted empty file " + tmpFile.Path() + ".");
    return 1;
}

bool cTidyfold::RemovedAsNullFile(const fs::OpenFolder& root, const fs::OpenFolder& folder,
                                  const std::string& relative, const fs::Entry& entry, float days) {
    if (Options_->DelNullFiles() != 1 || entry.error != 0 || entry.kind != fs::EntryKind::File || entry.size != 0)
        return false;
    // An empty file made a minute ago is about to be written: only one that
    // is old by the rule every other file is aged by goes.
    if (!ageing::IsOlderThan(ageing::AgeInDays(clock_(), ageing::LastUseNs(entry.times)), days))
        return false;
    // The walk yields between files, and the user may have moved the folder
    // out of the Desktop meanwhile: nothing is deleted from it there.
    FolderChain fromDesktop(root);
    const fs::OpenFolder* here = relative.empty() ? &root : fromDesktop.Open(relative + "/");
    if (here == nullptr || here->Id() != folder.Id())
        return false;
    // Only the empty file that was listed goes: one written to since, or
    // put in its place, is examined as what it is.
    if (!folder.RemoveListedFile(entry, fs::Force::No))
        return false;
    const std::string inFolder = relative.empty() ? entry.name : relative + "/" + entry.name;
    LogError("Deleted empty file " + PathOf(inFolder) + ".");
    return true;
}

void cTidyfold::ExamineEntry(const fs::OpenFolder& root, const fs::OpenFolder& folder, const std::string& relative,
                             const fs::Entry& entry, LimitFrom limit) {
    const std::string inFolder = relative.empty() ? entry.name : relative + "/" + entry.name;
    // A kept file is not even looked at: never offloaded, trashed or
    // deleted, the empty-file deletion included.
    if (Keep().Matches(inFolder, KeepKind::File))
        return;
    const float days = limit == LimitFrom::Engine ? TimeLimit_ : Options_->TimeLimit();
    if (RemovedAsNullFile(root, folder, relative, entry, days))
        return;
    Yield();
    if (entry.error != 0) {
        // Ageing a file on times that could not be read would offload it on
        // a guess; it is reported and left where it is.
        LogError("Could not open file: " + PathOf(inFolder) + "\r\n" + SystemErrorText(entry.error));
        RaiseScanningFile(PathOf(inFolder));
        return;
    }
    // The times come from the folder's listing, one stat per entry; the
    // transfer looks at the file again before it acts on it.
    const double age = ageing::AgeInDays(clock_(), ageing::LastUseNs(entry.times));
    if (ageing::IsOlderThan(age, days))
        colFiles_.push_back(CollectedFile{inFolder, folder.Id(), entry});
    if (listener_ != nullptr)
        RaiseScanningFile(PathOf(inFolder));
}

}  // namespace tidyfold
