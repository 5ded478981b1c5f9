#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidyfold {

// What a pass does with a Desktop file older than the time limit. Stored in
// settings.ini as its 16-bit number; any other number may stand there too (a
// hand-edited file), and a pass then leaves the files where they are.
enum class TransferMode : std::int16_t {
    CopyThenDelete = 0,  // copy into the offload folder, then delete the Desktop file
    Move = 1,            // move into the offload folder
    Delete = 2,          // delete in place
    Trash = 3,           // send to the user's Trash, where a file manager can restore it
};

// The number a mode is stored as.
constexpr std::int16_t ModeNumber(TransferMode mode) { return static_cast<std::int16_t>(mode); }

// Listener of cOptions' one event. The engine hands a copy of the new path, so
// a handler's changes never reach the stored value.
class cOptionsEvents {
public:
    virtual ~cOptionsEvents() = default;
    virtual void TrashPathSet(std::string sPath) = 0;
};

// The five user settings and settings.ini (beside the program, or in
// ~/.config/tidyfold when installed: shell/AppFiles.h). Each
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

    TransferMode CopyAction() const { return CopyAction_; }
    void CopyAction(TransferMode vData) { CopyAction_ = vData; }

    const std::string& OffloadPath() const { return OffloadPath_; }
    // Stores the path, then raises TrashPathSet with a copy of it.
    void OffloadPath(const std::string& vData);

    // What a missing or empty key of the file reads as. The offload folder's
    // default is DefaultOffloadPath(), the home folder and "/Trash".
    static constexpr TransferMode kDefaultCopyAction = TransferMode::CopyThenDelete;
    static constexpr float kDefaultTimeLimit = 7.0f;
    static constexpr std::int16_t kDefaultDelUCFolders = 1;
    static constexpr std::int16_t kDefaultDelNullFiles = 1;
    static std::string DefaultOffloadPath();
    // Sets the five settings to their defaults (the offload folder through
    // its setter, so TrashPathSet is raised).
    void SetDefaults();

    // --- Beyond the five settings ---

    // The files to keep as settings.ini lists them (its own section, see
    // settings/KeepListText.h); nothing when it lists none. LoadOptions reads
    // it after the five keys, SaveOptions writes it with them.
    const std::optional<std::vector<std::string>>& KeepPatterns() const { return KeepPatterns_; }
    void KeepPatterns(std::optional<std::vector<std::string>> vData) { KeepPatterns_ = std::move(vData); }
    // The list a pass applies: the stored one, or the defaults when there is
    // none.
    std::vector<std::string> EffectiveKeepPatterns() const;
    // The list the settings file holds (the defaults when it holds none),
    // read without converting any other key; a file that cannot be read
    // throws: a pass must never fall back to keeping less than the user said.
    static std::vector<std::string> StoredKeepPatterns();

    // Connects the one listener (nullptr disconnects); events raised while none
    // is connected are dropped.
    void Connect(cOptionsEvents* listener) { listener_ = listener; }

    // The offload folder the settings file names (the default when it names
    // none), read without converting any other key; a file that cannot be
    // read throws. For passes that must keep their hands off that folder.
    static std::string StoredOffloadPath();

    // The settings file (shell/AppFiles.h).
    static std::string SettingsFilePath();

private:
    // One key of one section, or defaultText when the file, section or key is
    // missing or the value is empty; cut to 254 characters.
    static std::string ReadIniValue(const std::string& section, const std::string& key,
                                    const std::string& filePath, const std::string& defaultText);

    std::string OffloadPath_;
    TransferMode CopyAction_ = TransferMode::CopyThenDelete;
    float TimeLimit_ = 0.0f;
    std::int16_t Saved_ = 0;
    std::int16_t DelUCFolders_ = 0;
    std::int16_t DelNullFiles_ = 0;
    std::optional<std::vector<std::string>> KeepPatterns_;
    cOptionsEvents* listener_ = nullptr;
};

// The application title: names the settings section and captions message boxes.
inline constexpr const char* kAppTitle = "TYFL";

}  // namespace tidyfold
