#include "engine/cTidyfold.h"

#include "engine/Yield.h"

namespace tidyfold {

cTidyfold::cTidyfold() : clock_(SystemClock()) {
    fErrorsThrown(kFalse);
    Cancel(kFalse);
    Options(std::make_shared<cOptions>());
}

std::int16_t cTidyfold::CleanCompressed(std::int32_t /*Choice*/) { return 0; }

void cTidyfold::LogError(const std::string& text) {
    fErrorsThrown(kTrue);
    // Appended in place: the log grows by one line per transfer, and rebuilding
    // it through the getter would copy the whole text every time.
    Log_ += text;
    Log_ += "\r\n";
}

void cTidyfold::UpdateCopyStatusProgressBar(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred) {
    Yield();
    if (listener_ != nullptr)
        listener_->CopyProgressRoutine(TotalFileSize, TotalBytesTransferred);
}

// Events go to the one listener, if any; each gets a copy of its argument.
void cTidyfold::RaiseMovingFile(const std::string& path) {
    if (listener_ != nullptr)
        listener_->MovingFile(path);
}

// Handed over, not copied: the scan raises it for every file.
void cTidyfold::RaiseScanningFile(std::string path) {
    if (listener_ != nullptr)
        listener_->ScanningFile(std::move(path));
}

void cTidyfold::RaiseSetFileCount(std::int32_t count) {
    if (listener_ != nullptr)
        listener_->SetFileCount(count);
}

}  // namespace tidyfold
