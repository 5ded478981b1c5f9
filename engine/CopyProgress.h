#pragma once

#include <cstdint>

namespace tidyfold {

class cTidyfold;

// The progress routine of the engine's file copy, with the shape of the
// system's progress routine. It forwards each report to the main window's
// current engine (or, while none is registered, to the copying engine passed
// as lpData), yields once, and always answers "continue".
inline constexpr std::int32_t PROGRESS_CONTINUE = 0;

std::int32_t CopyProgressCallback(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred,
                                  std::int64_t StreamSize, std::int64_t StreamBytesTransferred,
                                  std::int32_t dwStreamNumber, std::int32_t dwCallbackReason,
                                  std::int32_t hSourceFile, std::int32_t hDestinationFile, void* lpData);

// The main window registers the engine it currently holds; nullptr clears it.
void RegisterCurrentEngine(cTidyfold* engine);
cTidyfold* CurrentEngine();

}  // namespace tidyfold
