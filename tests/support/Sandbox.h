#pragma once

// A throw-away home for one test or benchmark: a home folder with its Desktop
// and the user-dirs.dirs most desktops have, an application folder for
// settings.ini and compressed.lst, and an offload folder that may sit on
// another file system. While the object lives, HOME, XDG_CONFIG_HOME,
// XDG_STATE_HOME, XDG_DATA_HOME and the program's application folder point
// into it; when it goes, it puts back what was there and removes every file
// it holds.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "settings/cOptions.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

namespace tidyfold::test {

// A "now" at which every file the tests make is older than any time limit.
inline constexpr std::int64_t kFarFuture = 4102444800LL;  // 2100-01-01

class Sandbox : public TempDir {
public:
    // The root goes below base ("/tmp" is ext4 here, "/dev/shm" tmpfs). When
    // offloadBase is given and differs from base, the offload folder gets a
    // root of its own there, so moves into it cross file systems.
    explicit Sandbox(const std::string& base = "/tmp", const std::string& offloadBase = "");
    ~Sandbox();

    std::string Home() const { return Path() + "/home"; }
    std::string Desktop() const { return Home() + "/Desktop"; }
    std::string AppFolder() const { return Path() + "/app"; }
    std::string SettingsFile() const { return AppFolder() + "/settings.ini"; }
    std::string UserDirsFile() const { return Home() + "/.config/user-dirs.dirs"; }
    // Where the sandbox's settings send the files (not created: the pass
    // does that).
    const std::string& Offload() const { return offload_; }
    // Where files go when settings.ini names no offload folder.
    std::string DefaultTrash() const { return Home() + "/Trash"; }
    // The desktop's Trash of the sandbox's user (Trash mode sends files
    // there).
    std::string HomeTrash() const { return Home() + "/.local/share/Trash"; }
    // Where the desktop keeps its record of opened files.
    std::string RecentFilesFile() const { return Home() + "/.local/share/recently-used.xbel"; }

    // The settings a test starts from: the given mode, a limit of 7 days,
    // Offload(), neither clean-up option, an empty keep list. Change what
    // the test is about.
    cOptions Options(TransferMode mode = TransferMode::CopyThenDelete) const;
    // Writes settings.ini as the program saves options.
    void WriteSettings(const cOptions& options) const;
    // Options() with the mode as stored in the file; a number without a
    // mode (3 and up) is what a hand-edited file may hold.
    void WriteSettings(int copyAction) const;
    // Sets one key of settings.ini to text as a person editing the file
    // might, even text no cOptions could hold ("nan", "abc").
    void SetSetting(const std::string& key, const std::string& text) const;
    void WriteArchiveList(const std::string& text) const;
    // Leaves the home without user-dirs.dirs: the Desktop is then
    // $HOME/Desktop by the fallback rule.
    void RemoveUserDirs() const;
    // Empties the Desktop and removes the offload folder.
    void Reset() const;

    // The sandbox's variables for a child process ("NAME=value" entries).
    std::vector<std::string> Environment() const;
    // Changes one more variable for the sandbox's lifetime.
    void SetEnv(const std::string& name, const std::string& value) { env_.Set(name, value); }
    void UnsetEnv(const std::string& name) { env_.Unset(name); }

private:
    EnvGuard env_;
    std::unique_ptr<TempDir> offloadRoot_;  // when the offload folder is elsewhere
    std::string offload_;
    const Sandbox* outer_ = nullptr;         // the sandbox this one stands in for
};

}  // namespace tidyfold::test
