// Where the program's own files are: beside a portable program, in the XDG
// configuration folder and the data folder of an installed one; and the
// settings, the archive list and the engine using that rule.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "base/Error.h"
#include "engine/cTidyfold.h"
#include "fs/FileSystem.h"
#include "settings/cOptions.h"
#include "shell/AppFiles.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestArchive.h"

namespace tidyfold {
namespace {

using test::Exists;
using test::MakeDirs;
using test::ReadFile;
using test::WriteFile;

// A prefix with the program in bin/, a home, and an XDG folder elsewhere.
class AppFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeDirs(Bin());
        MakeDirs(Home());
        fs::SetApplicationFolderForTesting(Bin());
        env.Set("HOME", Home());
        env.Unset("XDG_CONFIG_HOME");
    }
    void TearDown() override { fs::SetApplicationFolderForTesting(""); }

    std::string Bin() const { return root / "usr/bin"; }
    std::string Data() const { return root / "usr/share/tidyfold"; }
    std::string Home() const { return root / "home"; }
    std::string XdgHome() const { return root / "xdg"; }
    void Install() const {
        WriteFile(Data() + "/compressed.lst", "zip,");
        WriteFile(Data() + "/license.rtf", "{\\rtf1 agreement}");
    }
    static mode_t Mode(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }

    test::TempDir root;
    test::EnvGuard env;
};

TEST_F(AppFilesTest, EachFileIsBesideAPortableProgramOrWhereAnInstalledOneKeepsIt) {
    enum class Xdg { Unset, Absolute, Relative };
    struct Case {
        const char* what;
        bool installed;
        Xdg xdg;
        const char* userList;  // where the user's own compressed.lst is, if anywhere
        // Expected, with B the program's folder, D the data folder, C the
        // user's configuration folder.
        const char* settings;
        WhenMissing settingsMissing;
        const char* list;
        WhenMissing listMissing;
        const char* license;
    };
    const WhenMissing kNothing = WhenMissing::Nothing;
    const Case cases[] = {
        {"portable", false, Xdg::Unset, nullptr, "B/settings.ini", kNothing, "B/compressed.lst",
         WhenMissing::CreateEmpty, "B/license.rtf"},
        {"portable ignores the XDG folder and a list in it", false, Xdg::Absolute, "X/tidyfold", "B/settings.ini",
         kNothing, "B/compressed.lst", WhenMissing::CreateEmpty, "B/license.rtf"},
        {"installed, no XDG_CONFIG_HOME, no list of the user's", true, Xdg::Unset, nullptr,
         "H/.config/tidyfold/settings.ini", WhenMissing::CreateFolder, "D/compressed.lst", kNothing, "D/license.rtf"},
        {"installed, the user's own list", true, Xdg::Unset, "H/.config/tidyfold", "H/.config/tidyfold/settings.ini",
         WhenMissing::CreateFolder, "H/.config/tidyfold/compressed.lst", kNothing, "D/license.rtf"},
        {"installed, XDG_CONFIG_HOME set", true, Xdg::Absolute, nullptr, "X/tidyfold/settings.ini",
         WhenMissing::CreateFolder, "D/compressed.lst", kNothing, "D/license.rtf"},
        {"installed, XDG_CONFIG_HOME set and the list in it", true, Xdg::Absolute, "X/tidyfold",
         "X/tidyfold/settings.ini", WhenMissing::CreateFolder, "X/tidyfold/compressed.lst", kNothing, "D/license.rtf"},
        {"installed, a list in ~/.config does not count when XDG_CONFIG_HOME is set", true, Xdg::Absolute,
         "H/.config/tidyfold", "X/tidyfold/settings.ini", WhenMissing::CreateFolder, "D/compressed.lst", kNothing,
         "D/license.rtf"},
        {"installed, a relative XDG_CONFIG_HOME counts as unset", true, Xdg::Relative, "H/.config/tidyfold",
         "H/.config/tidyfold/settings.ini", WhenMissing::CreateFolder, "H/.config/tidyfold/compressed.lst", kNothing,
         "D/license.rtf"},
    };
    const auto expand = [this](std::string text) {
        const std::pair<char, std::string> roots[] = {{'B', Bin()}, {'D', Data()}, {'H', Home()}, {'X', XdgHome()}};
        for (const auto& [letter, folder] : roots) {
            if (text.front() == letter)
                return folder + text.substr(1);
        }
        return text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::RemoveTree(root / "usr/share");
        test::RemoveTree(Home());
        test::RemoveTree(XdgHome());
        MakeDirs(Home());
        if (c.installed)
            Install();
        if (c.xdg == Xdg::Absolute)
            env.Set("XDG_CONFIG_HOME", XdgHome());
        else if (c.xdg == Xdg::Relative)
            env.Set("XDG_CONFIG_HOME", "xdg");
        else
            env.Unset("XDG_CONFIG_HOME");
        if (c.userList != nullptr)
            WriteFile(expand(c.userList) + "/compressed.lst", "rar,");

        const AppFileLocation settings = LocateAppFile(AppFile::Settings);
        EXPECT_EQ(settings.path, expand(c.settings));
        EXPECT_EQ(settings.whenMissing, c.settingsMissing);
        const AppFileLocation list = LocateAppFile(AppFile::ArchiveList);
        EXPECT_EQ(list.path, expand(c.list));
        EXPECT_EQ(list.whenMissing, c.listMissing);
        const AppFileLocation license = LocateAppFile(AppFile::License);
        EXPECT_EQ(license.path, expand(c.license));
        EXPECT_EQ(license.whenMissing, kNothing);
    }
}

TEST_F(AppFilesTest, OnlyAFolderMakesAnInstallation) {
    // The program's folder is writable here (the tests run as root); that
    // never decides anything. A file named like the data folder is no
    // installation; a link to a folder is one.
    WriteFile(Data(), "not a folder");
    EXPECT_EQ(LocateAppFile(AppFile::Settings).path, Bin() + "/settings.ini");
    test::RemoveTree(Data());
    WriteFile(root / "elsewhere/license.rtf", "{\\rtf1}");
    ASSERT_EQ(symlink((root / "elsewhere").c_str(), Data().c_str()), 0);
    EXPECT_EQ(LocateAppFile(AppFile::Settings).path, Home() + "/.config/tidyfold/settings.ini");
    EXPECT_EQ(LocateAppFile(AppFile::License).path, Data() + "/license.rtf");
}

TEST_F(AppFilesTest, InstalledSettingsAreSavedInAPrivateFolderMadeOnTheFirstSave) {
    Install();
    cOptions options;
    options.LoadOptions();
    EXPECT_FALSE(Exists(Home() + "/.config")) << "loading creates nothing";
    options.TimeLimit(12.0f);
    options.SaveOptions();

    const std::string file = Home() + "/.config/tidyfold/settings.ini";
    EXPECT_NE(ReadFile(file).find("Timelimit=12"), std::string::npos);
    EXPECT_EQ(Mode(Home() + "/.config"), 0700u);
    EXPECT_EQ(Mode(Home() + "/.config/tidyfold"), 0700u);
    EXPECT_FALSE(Exists(Bin() + "/settings.ini"));
    EXPECT_FALSE(Exists(Data() + "/settings.ini"));

    cOptions again;
    again.LoadOptions();
    EXPECT_EQ(again.TimeLimit(), 12.0f);
}

TEST_F(AppFilesTest, InstalledArchiveListIsTheUsersOwnElseTheDefaultAndNeverCreated) {
    Install();
    const std::string desktop = root / "desk";
    const auto removed = [&desktop] {
        test::RemoveTree(desktop);
        WriteFile(desktop + "/a/inner", "x");
        WriteFile(desktop + "/b/inner", "x");
        test::WriteArchive(desktop + "/a.zip", test::ArchiveFormat::Zip, {{"inner", "x"}});
        test::WriteArchive(desktop + "/b.rar", test::ArchiveFormat::Zip, {{"inner", "x"}});
        cTidyfold engine;
        const std::int32_t count = engine.ProcessCompressed(desktop);
        return std::to_string(count) + (Exists(desktop + "/a") ? "" : " a") + (Exists(desktop + "/b") ? "" : " b");
    };
    EXPECT_EQ(removed(), "1 a") << "the installed default list: zip";
    EXPECT_FALSE(Exists(Home() + "/.config/tidyfold/compressed.lst"));
    EXPECT_FALSE(Exists(Bin() + "/compressed.lst"));

    WriteFile(Home() + "/.config/tidyfold/compressed.lst", "rar,");
    EXPECT_EQ(removed(), "1 b") << "the user's own list: rar";

    // A list the installation lost is an error, not an empty list made up.
    test::RemoveTree(Home() + "/.config/tidyfold/compressed.lst");
    test::RemoveTree(Data() + "/compressed.lst");
    try {
        removed();
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), ENOENT);
        EXPECT_EQ(error.Path(), Data() + "/compressed.lst");
    }
    EXPECT_FALSE(Exists(Data() + "/compressed.lst"));
}

}  // namespace
}  // namespace tidyfold
