#include "engine/CopyProgress.h"

#include "engine/Yield.h"
#include "engine/cTidyfold.h"

namespace tidyfold {

namespace {
cTidyfold* gCurrentEngine = nullptr;  // one user-interface thread, no lock
}  // namespace

void RegisterCurrentEngine(cTidyfold* engine) { gCurrentEngine = engine; }

cTidyfold* CurrentEngine() { return gCurrentEngine; }

std::int32_t CopyProgressCallback(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred,
                                  std::int64_t /*StreamSize*/, std::int64_t /*StreamBytesTransferred*/,
                                  std::int32_t /*dwStreamNumber*/, std::int32_t /*dwCallbackReason*/,
                                  std::int32_t /*hSourceFile*/, std::int32_t /*hDestinationFile*/,
                                  void* lpData) {
    // The report goes to the engine the main window holds now, which is not
    // the copying one if a new run began inside a yield.
    cTidyfold* engine = CurrentEngine();
    if (engine == nullptr)
        engine = static_cast<cTidyfold*>(lpData);
    if (engine != nullptr)
        engine->UpdateCopyStatusProgressBar(TotalFileSize, TotalBytesTransferred);
    Yield();
    return PROGRESS_CONTINUE;
}

}  // namespace tidyfold
