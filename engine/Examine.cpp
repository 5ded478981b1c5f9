// The per-file examination shared by the top-level scan and Recurse, and the
// null-file gate.

#include <cerrno>

#include "engine/Ageing.h"
#include "engine/Yield.h"
#include "engine/cTidyfold.h"
#include "base/Error.h"

namespace tidyfold {

std::int32_t cTidyfold::IsFileNullFile(const fs::File& tmpFile) {
    // The size matters only when the option is on; asking it otherwise would
    // cost one more stat per file of every scan.
    if (Options_->DelNullFiles() != 1)
        return 0;
    std::uint64_t size = 0;
    try {
        size = tmpFile.Size();
    } catch (const Error&) {
        return 0;  // the examination that follows reports the unreadable file
    }
    if (size != 0)
        return 0;
    tmpFile.Delete(fs::Force::No);
    return 1;
}

void cTidyfold::ExamineFile(const fs::File& file) { ExamineFile(file, LimitFrom::Engine); }

void cTidyfold::ExamineFile(const fs::File& file, LimitFrom limit) {
    if (IsFileNullFile(file) == 1)
        return;
    Yield();
    fs::FileTimes times;
    try {
        times = file.Times();
    } catch (const Error& error) {
        // Ageing a file on times that could not be read would offload it on a
        // guess; it is reported and left where it is.
        LogError("Could not open file: " + file.Path() + "\r\n" + error.Description());
        RaiseScanningFile(file.Path());
        return;
    }
    const float days = limit == LimitFrom::Engine ? TimeLimit_ : Options_->TimeLimit();
    const double age = ageing::AgeInDays(clock_(), ageing::LastUseNs(times));
    if (ageing::IsOlderThan(age, days))
        colFiles_.push_back(file);
    RaiseScanningFile(file.Path());
}

}  // namespace tidyfold
