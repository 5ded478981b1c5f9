// The transfer of one collected file, by the mode CopyAction names.

#include <cerrno>

#include "engine/Ageing.h"
#include "engine/cTidyfold.h"
#include "base/Error.h"
#include "engine/CopyProgress.h"

namespace tidyfold {

namespace {

// Clears read-only before a copy or move. False when the file has gone since
// the scan: the user may move files while the pass yields.
bool ClearAttributes(const fs::File& file) {
    try {
        file.SetAttributes(fs::kAttrNormal);
        return true;
    } catch (const Error& error) {
        if (error.Number() == ENOENT)
            return false;
        throw;
    }
}

}  // namespace

// The pass yields while it scans and copies, so a collected file may have
// been used since, or replaced by a new file of the same name (an editor
// saves that way). Either is no longer old: it stays where it is, untouched.
// A file that is gone or unreadable goes on to its transfer, which reports it.
bool cTidyfold::UsedSinceExamined(const fs::File& file) const {
    fs::FileTimes times;
    try {
        times = file.Times();
    } catch (const Error&) {
        return false;
    }
    return !ageing::IsOlderThan(ageing::AgeInDays(clock_(), ageing::LastUseNs(times)), TimeLimit_);
}

void cTidyfold::TransferFile(const fs::File& file) {
    if (UsedSinceExamined(file))
        return;
    switch (Options_->CopyAction()) {
        case TransferMode::CopyThenDelete:
            CopyThenDelete(file);
            break;
        case TransferMode::Move:
            MoveToOffload(file);
            break;
        case TransferMode::Delete:
            DeleteInPlace(file);
            break;
        default:
            break;  // an unknown mode leaves the file where it is
    }
}

void cTidyfold::LogFailedTransfer(const std::string& text) {
    LogError(text);
    ++FailedTransfers_;
}

void cTidyfold::CopyThenDelete(const fs::File& file) {
    const std::string& path = file.Path();
    RaiseMovingFile(path);
    const std::string dest = RetainDirStructure(file);
    if (!ClearAttributes(file)) {
        LogFailedTransfer("File copy of " + path + " FAILED.");
        return;
    }
    auto progress = [this](std::uint64_t total, std::uint64_t transferred) {
        CopyProgressCallback(static_cast<std::int64_t>(total), static_cast<std::int64_t>(transferred), 0, 0, 0,
                             0, 0, 0, this);
    };
    // The copy is durable before it returns, so the Desktop file may go.
    if (fs::CopyFile(path, dest, progress, CopyCancelFlag()) != 0) {
        LogFailedTransfer("File copy of " + path + " FAILED.");
        return;
    }
    LogError("File copy of " + path + " succeeded.");
    if (fs::DeleteFile(path) != 0)
        LogFailedTransfer("Could not move file: " + path);
}

void cTidyfold::MoveToOffload(const fs::File& file) {
    const std::string& path = file.Path();
    RaiseMovingFile(path);
    const std::string dest = RetainDirStructure(file);
    if (!ClearAttributes(file) || fs::MoveFile(path, dest) != 0)
        LogFailedTransfer("Move of " + path + " FAILED.");
}

void cTidyfold::DeleteInPlace(const fs::File& file) {
    try {
        file.Delete(fs::Force::No);
    } catch (const Error& error) {
        // Gone already: there is nothing left to delete.
        if (error.Number() != ENOENT)
            throw;
    }
}

}  // namespace tidyfold
