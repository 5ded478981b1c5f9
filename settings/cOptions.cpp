#include "settings/cOptions.h"

#include <cerrno>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "settings/KeepList.h"
#include "settings/KeepListText.h"
#include "settings/SettingsText.h"
#include "shell/AppFiles.h"

namespace tidyfold {

namespace {

constexpr std::int16_t kSavedTrue = -1;

// The settings text, or empty text when there is no file yet. Any other
// failure is thrown: silently taking defaults for an unreadable file would let
// the next save overwrite it.
std::string SettingsTextOrEmpty(const std::string& filePath) {
    try {
        return fs::ReadWholeFile(filePath);
    } catch (const Error& error) {
        if (error.Number() == ENOENT)
            return {};
        throw;
    }
}

}  // namespace

void cOptions::OffloadPath(const std::string& vData) {
    OffloadPath_ = vData;
    if (listener_ != nullptr)
        listener_->TrashPathSet(OffloadPath_);
}

std::string cOptions::DefaultOffloadPath() { return DefaultTrashPath(); }

void cOptions::SetDefaults() {
    TimeLimit(kDefaultTimeLimit);
    CopyAction(kDefaultCopyAction);
    DelUCFolders(kDefaultDelUCFolders);
    DelNullFiles(kDefaultDelNullFiles);
    OffloadPath(DefaultOffloadPath());
}

std::vector<std::string> cOptions::EffectiveKeepPatterns() const {
    return KeepPatterns_ ? *KeepPatterns_ : DefaultKeepPatterns();
}

std::vector<std::string> cOptions::StoredKeepPatterns() {
    return ReadKeepPatterns(SettingsTextOrEmpty(SettingsFilePath())).value_or(DefaultKeepPatterns());
}

std::string cOptions::SettingsFilePath() { return LocateAppFile(AppFile::Settings).path; }

std::string cOptions::ReadIniValue(const std::string& section, const std::string& key,
                                   const std::string& filePath, const std::string& defaultText) {
    return ReadSettingsValue(SettingsTextOrEmpty(filePath), section, key, defaultText);
}

std::string cOptions::StoredOffloadPath() {
    return ReadIniValue(kAppTitle, "TrashPath", SettingsFilePath(), DefaultTrashPath());
}

std::int16_t cOptions::LoadOptions() {
    const std::string filePath = SettingsFilePath();
    ApplySettings(
        [&filePath](const std::string& key, const std::string& defaultText) {
            return ReadIniValue(kAppTitle, key, filePath, defaultText);
        },
        *this, filePath);
    KeepPatterns(ReadKeepPatterns(SettingsTextOrEmpty(filePath)));
    return 0;
}

std::int16_t cOptions::SaveOptions() {
    const AppFileLocation where = LocateAppFile(AppFile::Settings);
    const std::string& filePath = where.path;
    if (where.whenMissing == WhenMissing::CreateFolder)
        fs::CreateFolderPath(fs::ParentPath(filePath), 0700);
    // Other sections and comments of the file are kept, so it is read first;
    // the whole new text then replaces it in one step.
    const std::string text = ComposeSettingsText(SettingsTextOrEmpty(filePath), *this);
    fs::WriteFileAtomically(filePath, text);
    Saved(kSavedTrue);
    return 0;
}

}  // namespace tidyfold
