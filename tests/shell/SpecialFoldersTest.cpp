#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "fs/Fault.h"
#include "fs/OpenFolder.h"
#include "shell/SafeFolders.h"
#include "shell/TrashFolder.h"
#include "shell/UserDirs.h"
#include "shell/cSpecialFolders.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace tidyfold {
namespace {

using test::WriteFile;

class SpecialFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.Set("HOME", home.Path());
        env.Unset("XDG_CONFIG_HOME");
        env.Unset("XDG_DATA_HOME");
        env.Unset("XDG_CONFIG_DIRS");
    }
    void WriteUserDirs(const std::string& text) const { WriteFile(home / ".config/user-dirs.dirs", text); }

    test::TempDir home;
    test::EnvGuard env;
    cSpecialFolders folders;
};

TEST_F(SpecialFoldersTest, DesktopFallsBackToHomeDesktopWithoutTrailingSlash) {
    EXPECT_EQ(folders.Desktop(), home / "Desktop");
    env.Set("HOME", home.Path() + "//");
    EXPECT_EQ(folders.Desktop(), home / "Desktop");
    WriteUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    EXPECT_EQ(folders.Desktop(), home / "Desktop");
}

TEST_F(SpecialFoldersTest, DesktopComesFromUserDirsAndIsLookedUpOnEveryRead) {
    WriteUserDirs("# written by xdg-user-dirs-update\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch/\"\n"
                  "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(folders.Desktop(), home / "Schreibtisch");
    EXPECT_EQ(folders.Personal(), home / "Dokumente");
    WriteUserDirs("XDG_DESKTOP_DIR=\"/srv/desk top\"\n");
    EXPECT_EQ(folders.Desktop(), "/srv/desk top");
}

TEST_F(SpecialFoldersTest, OnlyExactlyHomeCountsAsNoSettingOtherSpellingsAreReturnedAsWritten) {
    // xdg-user-dirs writes "$HOME/" for a Desktop that was switched off.
    for (const char* value : {"$HOME", "$HOME/", "${HOME}"}) {
        WriteUserDirs(std::string("XDG_DESKTOP_DIR=\"") + value + "\"\n");
        EXPECT_EQ(folders.Desktop(), home / "Desktop") << value;
    }
    // Any other spelling, however it resolves, is the passes' to open and to
    // refuse by identity.
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/.\"\n");
    EXPECT_EQ(folders.Desktop(), home / ".");
    WriteUserDirs("XDG_DESKTOP_DIR=\"/\"\n");
    EXPECT_EQ(folders.Desktop(), "/");
}

TEST_F(SpecialFoldersTest, DesktopThatIsALinkIsReturnedAsWrittenAndOpenedThroughIt) {
    test::TempDir elsewhere;
    ASSERT_EQ(symlink(elsewhere.Path().c_str(), (home / "Desktop").c_str()), 0);
    EXPECT_EQ(folders.Desktop(), home / "Desktop");
    struct stat st {};
    ASSERT_EQ(stat(elsewhere.Path().c_str(), &st), 0);
    EXPECT_EQ(fs::OpenFolder::Open(folders.Desktop()).Id(), fs::IdentityOf(st));
}

// The check the Options dialog makes of a chosen offload folder.
TEST_F(SpecialFoldersTest, OffloadFolderCheckRefusesRootHomeDesktopAndAboveByIdentity) {
    test::MakeDirs(home / "Desktop/inner");
    test::MakeDirs(home / "Elsewhere");
    ASSERT_EQ(symlink((home / "Desktop").c_str(), (home / "desk-link").c_str()), 0);
    struct Case {
        std::string path;
        bool refused;
    };
    const std::string above = home.Path().substr(0, home.Path().rfind('/'));
    const std::vector<Case> cases = {
        {"/", true},           {"/.", true},
        {home.Path(), true},   {home / "Desktop/..", true},
        {home / "Desktop", true}, {home / "desk-link/", true},
        {above, true},         {"", true},
        {"relative/Trash", true},
        {home / "Elsewhere", false},
        {home / "Desktop/inner", false},  // inside the Desktop: left out of the passes, not refused
        {home / "not yet made", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        bool refused = false;
        try {
            CheckOffloadFolder(c.path);
        } catch (const Error& error) {
            refused = error.What() == Error::Kind::Refused;
        }
        EXPECT_EQ(refused, c.refused);
    }
}

TEST_F(SpecialFoldersTest, UserDirsFileIsReadThroughALinkButAFifoIsNotWaitedOn) {
    test::TempDir dotfiles;
    WriteFile(dotfiles / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Linked\"\n");
    test::MakeDirs(home / ".config");
    ASSERT_EQ(symlink((dotfiles / "user-dirs.dirs").c_str(), (home / ".config/user-dirs.dirs").c_str()), 0);
    EXPECT_EQ(folders.Desktop(), home / "Linked");
    ASSERT_EQ(unlink((home / ".config/user-dirs.dirs").c_str()), 0);
    // Nobody writes to this FIFO: reading it would block the lookup for good.
    // It is there, so it is no reason to guess the Desktop.
    ASSERT_EQ(mkfifo((home / ".config/user-dirs.dirs").c_str(), 0644), 0);
    EXPECT_THROW(folders.Desktop(), Error);
}

// Only a missing file means ~/Desktop; a file that is there but cannot be
// read may name another Desktop, and the lookup says so instead of guessing.
TEST_F(SpecialFoldersTest, UnreadableUserDirsFileIsAnErrorNotTheDefault) {
    const auto other = [&] { WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/Other\"\n"); };
    const struct {
        const char* name;
        std::function<void()> arrange;
        int error;  // 0: the default Desktop
    } cases[] = {
        {"missing", [] {}, 0},
        {"its folder a file", [&] { WriteFile(home / ".config", "not a folder"); }, 0},
        {"read fails", [&] { other(); fs::fault::Inject(fs::fault::Call::Read, EIO); }, EIO},
        {"open refused", [&] { other(); fs::fault::Inject(fs::fault::Call::Open, EACCES); }, EACCES},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::RemoveTree(home / ".config");
        fs::fault::Reset();
        c.arrange();
        int thrown = 0;
        std::string desktop;
        try {
            desktop = folders.Desktop();
        } catch (const Error& error) {
            thrown = error.Number();
        }
        fs::fault::Reset();
        EXPECT_EQ(thrown, c.error);
        if (c.error == 0) {
            EXPECT_EQ(desktop, home / "Desktop");
        }
    }
    // A real refusal, for a user who may not read the file.
    other();
    ASSERT_EQ(chmod((home / ".config/user-dirs.dirs").c_str(), 0), 0);
    const int status = test::RunUnprivileged([&] {
        try {
            folders.Desktop();
            ADD_FAILURE() << "an unreadable user-dirs.dirs gave a Desktop";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), EACCES);
        }
    });
    EXPECT_EQ(status, 0);
}

TEST_F(SpecialFoldersTest, ConfigHomeVariableChoosesTheUserDirsFile) {
    test::TempDir config;
    WriteFile(config / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Elsewhere\"\n");
    env.Set("XDG_CONFIG_HOME", config.Path());
    EXPECT_EQ(folders.Desktop(), home / "Elsewhere");
    EXPECT_EQ(folders.Startup(), config / "autostart");
    env.Set("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(folders.Desktop(), home / "Desktop");
}

TEST_F(SpecialFoldersTest, UserDirsParsingFollowsTheShell) {
    const std::string h = "/home/u";
    EXPECT_EQ(ParseUserDir("XDG_DESKTOP_DIR=\"$HOME\"\n", "XDG_DESKTOP_DIR", h), h);
    EXPECT_EQ(ParseUserDir("XDG_DESKTOP_DIR=\"${HOME}/D\"", "XDG_DESKTOP_DIR", h), h + "/D");
    EXPECT_EQ(ParseUserDir("  XDG_DESKTOP_DIR = $HOME/Bare  \r\n", "XDG_DESKTOP_DIR", h), h + "/Bare");
    EXPECT_EQ(ParseUserDir("XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\"\"", "XDG_DESKTOP_DIR", h),
              h + "/My \"Desk\"");
    // The last assignment counts; comments and other names do not.
    EXPECT_EQ(ParseUserDir("XDG_DESKTOP_DIR=\"/a\"\n#XDG_DESKTOP_DIR=\"/b\"\nXDG_DESKTOP_DIR=\"/c\"\n"
                           "XDG_DESKTOP_DIRX=\"/d\"\n",
                           "XDG_DESKTOP_DIR", h),
              "/c");
    // Only absolute and $HOME-relative values are allowed.
    EXPECT_EQ(ParseUserDir("XDG_DESKTOP_DIR=\"Desktop\"", "XDG_DESKTOP_DIR", h), std::nullopt);
    EXPECT_EQ(ParseUserDir("XDG_DESKTOP_DIR=\"$HOMEX/D\"", "XDG_DESKTOP_DIR", h), std::nullopt);
    EXPECT_EQ(ParseUserDir("XDG_DESKTOP_DIR=", "XDG_DESKTOP_DIR", h), std::nullopt);
    EXPECT_EQ(ParseUserDir(std::string("\0\xff=\"", 4), "XDG_DESKTOP_DIR", h), std::nullopt);
}

TEST_F(SpecialFoldersTest, OtherFoldersMapToTheirNearestCounterparts) {
    EXPECT_EQ(folders.Personal(), home.Path());
    EXPECT_EQ(folders.Programs(), home / ".local/share/applications");
    EXPECT_EQ(folders.StartMenu(), home / ".local/share/applications");
    EXPECT_EQ(folders.Startup(), home / ".config/autostart");
    EXPECT_EQ(folders.COMMON_PROGRAMS(), "/usr/share/applications");
    EXPECT_EQ(folders.COMMON_STARTMENU(), "/usr/share/applications");
    EXPECT_EQ(folders.COMMON_STARTUP(), "/etc/xdg/autostart");
    env.Set("XDG_CONFIG_DIRS", "relative:/opt/xdg/:/etc/xdg");
    EXPECT_EQ(folders.COMMON_STARTUP(), "/opt/xdg/autostart");
    env.Set("XDG_DATA_HOME", "/data/");
    EXPECT_EQ(folders.Programs(), "/data/applications");
    for (const std::string& empty : {folders.Recent(), folders.Favorites(), folders.COMMON_FAVORITES(),
                                     folders.Windows()})
        EXPECT_EQ(empty, "");
}

}  // namespace
}  // namespace tidyfold

namespace tidyfold {
namespace {

TEST(TrashFolder, HomeTrashFollowsXdgDataHomeWhenAbsolute) {
    struct Case {
        const char* data;  // nullptr: unset
        const char* home;
        std::string trash;
    };
    const std::vector<Case> cases = {
        {"/srv/data/", "/home/ann", "/srv/data/Trash"},
        {"relative/data", "/home/ann", "/home/ann/.local/share/Trash"},
        {nullptr, "/home/ann", "/home/ann/.local/share/Trash"},
        {"/", "/home/ann", "/Trash"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data == nullptr ? "unset" : c.data);
        test::EnvGuard env;
        if (c.data != nullptr)
            env.Set("XDG_DATA_HOME", c.data);
        else
            env.Unset("XDG_DATA_HOME");
        env.Set("HOME", c.home);
        EXPECT_EQ(HomeTrashFolder(), c.trash);
    }
}

}  // namespace
}  // namespace tidyfold
