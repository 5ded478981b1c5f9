// Last use as the desktop knows it: a file's own times, and the desktop's
// record of the files applications opened, read once per operation.

#include <cerrno>

#include "base/Error.h"
#include "engine/cTidyfold.h"

namespace tidyfold {

namespace {

constexpr const char* kNoAccessTimes =
    "This drive does not record when files are read; last use comes from changes and from the desktop's record "
    "of opened files.";

}  // namespace

void cTidyfold::BeginAgeing(const fs::OpenFolder& desktop) {
    noAccessTimes_ = desktop.KeepsNoAccessTimes();
    if (noAccessTimes_) {
        LogError(kNoAccessTimes);
        report_.notices.push_back(kNoAccessTimes);
    }
    // Read when the scan first meets a file its own times make old, once for
    // the whole operation: only such a file can need it, and a scan of a
    // Desktop in use then costs no more than it did without it.
    recent_ = RecentFiles();
    recentRead_ = false;
}

const RecentFiles& cTidyfold::Recent() {
    if (!recentRead_)
        ReadRecord();
    return recent_;
}

void cTidyfold::ReadRecord() {
    RecentFilesRead read = ReadRecentFiles();
    recent_ = std::move(read.files);
    recentRead_ = true;
    if (read.outcome != RecentFilesRead::Outcome::Unreadable)
        return;
    // Not an error: without the record a file is aged by its own times, as
    // on a desktop whose applications keep none.
    const std::string why = read.error == EFBIG ? "it is larger than " + std::to_string(kRecentFilesLimit >> 20) +
                                                      " MiB"
                            : read.error != 0 ? SystemErrorText(read.error)
                                              : read.why;
    const std::string notice = "Could not read the desktop's record of opened files " + read.path + ": " + why +
                               ". Last use comes from the files' own times.";
    LogError(notice);
    report_.notices.push_back(notice);
}

const RecentUse* cTidyfold::KeptByRecord(const fs::Identity& folder, const std::string& name, float days) {
    const RecentUse* opened = Recent().Find(folder, name);
    if (opened == nullptr || ageing::IsOlderThan(ageing::AgeInDays(clock_(), opened->ns), days))
        return nullptr;
    return opened;
}

void cTidyfold::LeaveOpened(const std::string& relative, const RecentUse& opened) {
    const std::string in = opened.application.empty() ? std::string() : " in " + opened.application;
    LeaveAlone(relative, "the desktop's record of opened files shows it was opened" + in + " within the time limit");
}

ageing::LastUse cTidyfold::LastUseOf(const fs::Identity& folder, const fs::Entry& entry) {
    const RecentUse* opened = Recent().Find(folder, entry.name);
    if (opened == nullptr)
        return ageing::LastUseOf(entry.times);
    return ageing::LastUseOf(entry.times, opened->ns, opened->application);
}

}  // namespace tidyfold
