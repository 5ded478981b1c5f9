#include "tests/support/Sandbox.h"

#include "fs/FileSystem.h"
#include "settings/IniFile.h"
#include "settings/SettingsText.h"

namespace tidyfold::test {

namespace {

// The innermost live sandbox, whose application folder a closing inner one
// hands back.
const Sandbox* gActive = nullptr;

// As xdg-user-dirs-update writes it: the engine reads it whenever it asks
// where the Desktop is.
const char kUserDirs[] =
    "# This file is written by xdg-user-dirs-update\n"
    "# If you want to change or add directories, just edit the line you're\n"
    "# interested in. All local changes will be retained on the next run.\n"
    "# Format is XDG_xxx_DIR=\"$HOME/yyy\", where yyy is a shell-escaped\n"
    "# homedir-relative path, or XDG_xxx_DIR=\"/yyy\", where /yyy is an\n"
    "# absolute path. No other format is supported.\n"
    "# \n"
    "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
    "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
    "XDG_TEMPLATES_DIR=\"$HOME/Templates\"\n"
    "XDG_PUBLICSHARE_DIR=\"$HOME/Public\"\n"
    "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
    "XDG_MUSIC_DIR=\"$HOME/Music\"\n"
    "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n"
    "XDG_VIDEOS_DIR=\"$HOME/Videos\"\n";

}  // namespace

Sandbox::Sandbox(const std::string& base, const std::string& offloadBase) : TempDir(base) {
    MakeDirs(Desktop());
    MakeDirs(AppFolder());
    WriteFile(UserDirsFile(), kUserDirs);
    if (!offloadBase.empty() && offloadBase != base) {
        offloadRoot_ = std::make_unique<TempDir>(offloadBase);
        offload_ = offloadRoot_->Path() + "/offload";
    } else {
        offload_ = Path() + "/offload";
    }
    env_.Set("HOME", Home());
    env_.Set("XDG_CONFIG_HOME", Home() + "/.config");
    env_.Set("XDG_STATE_HOME", Home() + "/.local/state");
    env_.Set("XDG_DATA_HOME", Home() + "/.local/share");
    fs::SetApplicationFolderForTesting(AppFolder());
    outer_ = gActive;
    gActive = this;
}

Sandbox::~Sandbox() {
    fs::SetApplicationFolderForTesting(outer_ != nullptr ? outer_->AppFolder() : "");
    gActive = outer_;
}

cOptions Sandbox::Options(TransferMode mode) const {
    cOptions options;
    options.CopyAction(mode);
    options.TimeLimit(7.0f);
    options.OffloadPath(offload_);
    options.DelUCFolders(0);
    options.DelNullFiles(0);
    // Nothing kept: a test about keeping says what it keeps.
    options.KeepPatterns(std::vector<std::string>{});
    return options;
}

void Sandbox::WriteSettings(const cOptions& options) const {
    WriteFile(SettingsFile(), ComposeSettingsText("", options));
}

void Sandbox::WriteSettings(int copyAction) const {
    WriteSettings(Options(static_cast<TransferMode>(copyAction)));
}

void Sandbox::SetSetting(const std::string& key, const std::string& text) const {
    const std::string old = Exists(SettingsFile()) ? ReadFile(SettingsFile()) : "";
    WriteFile(SettingsFile(), ini::WriteValues(old, kAppTitle, {{key, text}}));
}

void Sandbox::WriteArchiveList(const std::string& text) const { WriteFile(AppFolder() + "/compressed.lst", text); }

void Sandbox::RemoveUserDirs() const { RemoveTree(UserDirsFile()); }

void Sandbox::Reset() const {
    RemoveTree(Desktop());
    RemoveTree(offload_);
    MakeDirs(Desktop());
}

std::vector<std::string> Sandbox::Environment() const {
    return {"HOME=" + Home(), "XDG_CONFIG_HOME=" + Home() + "/.config",
            "XDG_STATE_HOME=" + Home() + "/.local/state", "XDG_DATA_HOME=" + Home() + "/.local/share"};
}

}  // namespace tidyfold::test
