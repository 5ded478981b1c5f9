#pragma once

#include <cstdint>
#include <string>

namespace tidyfold {

// Listener of cOptions' one event. The engine hands a copy of the new path, so
// a handler's changes never reach the stored value.
class cOptionsEvents {
public:
    virtual ~cOptionsEvents() = default;
    virtual void TrashPathSet(std::string sPath) = 0;
};

// The five user settings and settings.ini in the application folder. Each
// owner (main window, engine, Options dialog) has its own instance; they share
// only the file.
class cOptions {
public:
    // Check-box states and the transfer mode are 16-bit numbers; booleans are
    // 16-bit with -1 for true.
    std::int16_t DelNullFiles() const { return DelNullFiles_; }
    void DelNullFiles(std::int16_t vData) { DelNullFiles_ = vData; }

    std::int16_t DelUCFolders() const { return DelUCFolders_; }
    void DelUCFolders(std::int16_t vData) { DelUCFolders_ = vData; }

    std::int16_t Saved() const { return Saved_; }
    void Saved(std::int16_t vData) { Saved_ = vData; }

    // Reads settings.ini into the five settings. A value that does not convert
    // throws Error 13 or 6; the keys read before it keep their new values.
    std::int16_t LoadOptions();
    // Writes the five settings at once (temporary file, flush, rename) and sets
    // Saved. A failed write throws and leaves Saved as it was.
    std::int16_t SaveOptions();

    float TimeLimit() const { return TimeLimit_; }
    void TimeLimit(float vData) { TimeLimit_ = vData; }

    std::int16_t CopyAction() const { return CopyAction_; }
    void CopyAction(std::int16_t vData) { CopyAction_ = vData; }

    const std::string& OffloadPath() const { return OffloadPath_; }
    // Stores the path, then raises TrashPathSet with a copy of it.
    void OffloadPath(const std::string& vData);

    // Connects the one listener (nullptr disconnects); events raised while none
    // is connected are dropped.
    void Connect(cOptionsEvents* listener) { listener_ = listener; }

    // The offload folder the settings file names (the default when it names
    // none), read without converting any other key; a file that cannot be
    // read throws. For passes that must keep their hands off that folder.
    static std::string StoredOffloadPath();

    // The settings file: the application folder and "/settings.ini".
    static std::string SettingsFilePath();

private:
    // One key of one section, or defaultText when the file, section or key is
    // missing or the value is empty; cut to 254 characters.
    static std::string ReadIniValue(const std::string& section, const std::string& key,
                                    const std::string& filePath, const std::string& defaultText);

    std::string OffloadPath_;
    std::int16_t CopyAction_ = 0;
    float TimeLimit_ = 0.0f;
    std::int16_t Saved_ = 0;
    std::int16_t DelUCFolders_ = 0;
    std::int16_t DelNullFiles_ = 0;
    cOptionsEvents* listener_ = nullptr;
};

// The application title: names the settings section and captions message boxes.
inline constexpr const char* kAppTitle = "TYFL";

}  // namespace tidyfold
