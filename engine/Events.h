#pragma once

#include <cstdint>
#include <string>

namespace tidyfold {

// Listener of the engine's four events. Each is raised synchronously: the
// handler runs to its end before the engine goes on. Arguments are copies,
// so a handler's changes never reach the engine.
class cTidyfoldEvents {
public:
    virtual ~cTidyfoldEvents() = default;
    virtual void MovingFile(std::string sPath) = 0;
    virtual void ScanningFile(std::string sPath) = 0;
    virtual void SetFileCount(std::int32_t lCount) = 0;
    virtual void CopyProgressRoutine(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred) = 0;
};

}  // namespace tidyfold
