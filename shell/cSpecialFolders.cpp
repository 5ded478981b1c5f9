#include "shell/cSpecialFolders.h"

#include "shell/HomeFolder.h"
#include "shell/UserDirs.h"

namespace tidyfold {

namespace {

// The classic numbering of the special folders, kept so that every property
// goes through the one lookup below.
enum FolderNumber : int {
    kDesktop = 0x00,
    kPrograms = 0x02,
    kPersonal = 0x05,
    kFavorites = 0x06,
    kStartup = 0x07,
    kRecent = 0x08,
    kStartMenu = 0x0B,
    kCommonStartMenu = 0x16,
    kCommonPrograms = 0x17,
    kCommonStartup = 0x18,
    kCommonFavorites = 0x1F,
    kWindows = 0x24,
};

// Linux's nearest counterparts, as the XDG base-directory and user-dirs rules place them:
//   Desktop            XDG_DESKTOP_DIR of user-dirs.dirs, else $HOME/Desktop
//   Personal           XDG_DOCUMENTS_DIR, else $HOME (as xdg-user-dir answers)
//   Programs,StartMenu $XDG_DATA_HOME/applications (the user's menu entries)
//   Startup            $XDG_CONFIG_HOME/autostart
//   COMMON_PROGRAMS,
//   COMMON_STARTMENU   /usr/share/applications (the system's menu entries)
//   COMMON_STARTUP     first of $XDG_CONFIG_DIRS (else /etc/xdg) + /autostart
//   Recent             empty: recent items live in one file
//                      (recently-used.xbel), not in a folder
//   Favorites,
//   COMMON_FAVORITES   empty: bookmarks are a file of the file manager
//   Windows            empty: there is no system folder of that kind
// The Desktop names the folder the passes clean. xdg-user-dirs writes "$HOME"
// for a Desktop the user switched off; taking that literally would offload
// the whole home folder, dot files included, so it counts as no setting. Any
// other value is returned as written: the passes open it (through links,
// since the user chose it) and refuse it by identity when it is "/", the home
// folder or a folder above it, however it is spelled (shell/SafeFolders.h).
std::string DesktopFolder(const std::string& home) {
    const std::optional<std::string> configured = LookupUserDir("XDG_DESKTOP_DIR", home);
    if (!configured || *configured == WithoutTrailingSlash(home))
        return home + "/Desktop";
    return *configured;
}

std::string LinuxFolder(int folder) {
    const std::string home = HomeFolder();
    switch (folder) {
    case kDesktop:
        return DesktopFolder(home);
    case kPersonal:
        return LookupUserDir("XDG_DOCUMENTS_DIR", home).value_or(home);
    case kPrograms:
    case kStartMenu:
        return DataHome(home) + "/applications";
    case kStartup:
        return ConfigHome(home) + "/autostart";
    case kCommonPrograms:
    case kCommonStartMenu:
        return "/usr/share/applications";
    case kCommonStartup:
        return SystemConfigDir() + "/autostart";
    default:
        return {};
    }
}

}  // namespace

std::string cSpecialFolders::GetSpecialFolderPath(const int& folder) const {
    // Nothing is cached: the user may move the folder while the program runs.
    return WithoutTrailingSlash(LinuxFolder(folder));
}

std::string cSpecialFolders::COMMON_FAVORITES() const { const int n = kCommonFavorites; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::COMMON_STARTUP() const { const int n = kCommonStartup; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::COMMON_STARTMENU() const { const int n = kCommonStartMenu; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::COMMON_PROGRAMS() const { const int n = kCommonPrograms; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::StartMenu() const { const int n = kStartMenu; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::Recent() const { const int n = kRecent; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::Startup() const { const int n = kStartup; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::Favorites() const { const int n = kFavorites; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::Personal() const { const int n = kPersonal; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::Programs() const { const int n = kPrograms; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::Desktop() const { const int n = kDesktop; return GetSpecialFolderPath(n); }
std::string cSpecialFolders::Windows() const { const int n = kWindows; return GetSpecialFolderPath(n); }

}  // namespace tidyfold
