#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/Error.h"
#include "fs/Fault.h"
#include "fs/FileSystem.h"
#include "settings/cOptions.h"
#include "tests/support/Sandbox.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace tidyfold {
namespace {

using test::ReadFile;
using test::WriteFile;

class RecordingListener : public cOptionsEvents {
public:
    void TrashPathSet(std::string sPath) override {
        paths.push_back(sPath);
        sPath = "changed by the handler";
    }
    std::vector<std::string> paths;
};

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.SetEnv("HOME", "/home/tester");
        options.Connect(&listener);
    }
    void TearDown() override { fs::fault::Reset(); }
    std::string SettingsFile() const { return sandbox.SettingsFile(); }
    void WriteSettings(const std::string& text) const { WriteFile(SettingsFile(), text); }
    // Values that no load would give, to see which ones a failed load replaced.
    void SetSentinels() {
        options.CopyAction(TransferMode::Delete);
        options.OffloadPath("/old");
        options.TimeLimit(3.0f);
        options.DelUCFolders(0);
        options.DelNullFiles(0);
        listener.paths.clear();
    }
    // The number of the load's error, negative for a conversion error, so a
    // type mismatch (13) can never pass for EACCES (13) or the other way.
    static int LoadError(cOptions& target) {
        try {
            target.LoadOptions();
        } catch (const Error& error) {
            return error.IsConversion() ? -error.Number() : error.Number();
        }
        return 0;
    }

    test::Sandbox sandbox;
    RecordingListener listener;
    cOptions options;
};

TEST_F(OptionsTest, FreshObjectHoldsZerosAndReadsNothing) {
    WriteSettings("[TYFL]\nCopyAction=1\nTimeLimit=9\n");
    cOptions fresh;
    EXPECT_EQ(fresh.TimeLimit(), 0.0f);
    EXPECT_EQ(fresh.CopyAction(), TransferMode::CopyThenDelete);
    EXPECT_EQ(fresh.OffloadPath(), "");
    EXPECT_EQ(fresh.DelUCFolders(), 0);
    EXPECT_EQ(fresh.DelNullFiles(), 0);
    EXPECT_EQ(fresh.Saved(), 0);
}

TEST_F(OptionsTest, MissingFileGivesDefaultsRaisesOnceAndCreatesNothing) {
    EXPECT_EQ(options.LoadOptions(), 0);
    EXPECT_EQ(options.CopyAction(), TransferMode::CopyThenDelete);
    EXPECT_EQ(options.OffloadPath(), "/home/tester/Trash");
    EXPECT_EQ(options.TimeLimit(), 7.0f);
    EXPECT_EQ(options.DelUCFolders(), 1);
    EXPECT_EQ(options.DelNullFiles(), 1);
    EXPECT_EQ(listener.paths, std::vector<std::string>{"/home/tester/Trash"});
    EXPECT_FALSE(test::Exists(SettingsFile()));
    EXPECT_EQ(options.Saved(), 0);
}

TEST_F(OptionsTest, EmptyValuesAndMissingSectionReadAsDefaults) {
    WriteSettings("[Other]\nCopyAction=2\n[TYFL]\nTrashPath=\nTimeLimit=   \nDelNullFiles=0\n");
    options.LoadOptions();
    EXPECT_EQ(options.OffloadPath(), "/home/tester/Trash");
    EXPECT_EQ(options.TimeLimit(), 7.0f);
    EXPECT_EQ(options.CopyAction(), TransferMode::CopyThenDelete);  // the other section's key is not ours
    EXPECT_EQ(options.DelNullFiles(), 0);
}

TEST_F(OptionsTest, KeysMatchInAnyCaseAndFractionsLoad) {
    WriteSettings("[tyfl]\ntimelimit=14\nCOPYACTION=1\n");
    options.LoadOptions();
    EXPECT_EQ(options.TimeLimit(), 14.0f);
    EXPECT_EQ(options.CopyAction(), TransferMode::Move);
    WriteSettings("[TYFL]\nTimeLimit=2.5\nDelUCFolders=2.5\n");
    options.LoadOptions();
    EXPECT_EQ(options.TimeLimit(), 2.5f);
    EXPECT_EQ(options.DelUCFolders(), 2);  // half to even
}

TEST_F(OptionsTest, LettersInCopyActionStopTheLoadBeforeAnyAssignment) {
    WriteSettings("[TYFL]\nCopyAction=move\nTrashPath=/new\nTimeLimit=1\n");
    SetSentinels();
    EXPECT_EQ(LoadError(options), -kTypeMismatch);
    EXPECT_EQ(options.CopyAction(), TransferMode::Delete);
    EXPECT_EQ(options.OffloadPath(), "/old");
    EXPECT_EQ(options.TimeLimit(), 3.0f);
    EXPECT_TRUE(listener.paths.empty());
}

TEST_F(OptionsTest, LettersInDelNullFilesLeaveTheFirstFourAssigned) {
    WriteSettings("[TYFL]\nCopyAction=1\nTrashPath=/new\nTimeLimit=4\nDelUCFolders=1\nDelNullFiles=yes\n");
    SetSentinels();
    EXPECT_EQ(LoadError(options), -kTypeMismatch);
    EXPECT_EQ(options.CopyAction(), TransferMode::Move);
    EXPECT_EQ(options.OffloadPath(), "/new");
    EXPECT_EQ(options.TimeLimit(), 4.0f);
    EXPECT_EQ(options.DelUCFolders(), 1);
    EXPECT_EQ(options.DelNullFiles(), 0);
    EXPECT_EQ(listener.paths, std::vector<std::string>{"/new"});
}

TEST_F(OptionsTest, SixteenBitOverflowStopsAtItsKey) {
    WriteSettings("[TYFL]\nDelUCFolders=40000\nTimeLimit=5\n");
    SetSentinels();
    EXPECT_EQ(LoadError(options), -kOverflow);
    EXPECT_EQ(options.TimeLimit(), 5.0f);
    EXPECT_EQ(options.DelUCFolders(), 0);
    EXPECT_EQ(options.DelNullFiles(), 0);
    WriteSettings("[TYFL]\nTimeLimit=1e39\n");
    EXPECT_EQ(LoadError(options), -kOverflow);
}

TEST_F(OptionsTest, LongPathIsCutTo254CharactersAndCrlfFilesRead) {
    const std::string longPath = "/" + std::string(300, 'p');
    WriteSettings("[TYFL]\r\nTrashPath=" + longPath + "\r\nTimeLimit=30\r\nDelNullFiles=0\r\n");
    options.LoadOptions();
    EXPECT_EQ(options.OffloadPath(), longPath.substr(0, 254));
    EXPECT_EQ(options.TimeLimit(), 30.0f);
    EXPECT_EQ(options.DelNullFiles(), 0);
}

TEST_F(OptionsTest, PathsThatWouldNotReadBackAsTheyAreAreRefusedOnSave) {
    struct Case {
        std::string path;
        bool saved;
    };
    const std::vector<Case> cases = {
        {"/" + std::string(254, 'p'), false},  // would read back cut
        {" /srv/Trash", false},                // the reader drops blanks around a value
        {"/srv/Trash ", false},
        {"/srv/Trash\t", false},
        {"/" + std::string(253, 'p'), true},  // 254 in all: still reads back whole
        {"/srv/my Trash", true},               // blanks inside are kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("[" + c.path + "]");
        WriteSettings("[TYFL]\nCopyAction=1\n");
        cOptions saving;
        saving.OffloadPath(c.path);
        try {
            saving.SaveOptions();
            EXPECT_TRUE(c.saved);
        } catch (const Error& error) {
            EXPECT_FALSE(c.saved) << error.what();
            EXPECT_EQ(error.Number(), EINVAL);
            EXPECT_EQ(saving.Saved(), 0);
            EXPECT_EQ(ReadFile(SettingsFile()), "[TYFL]\nCopyAction=1\n");
            continue;
        }
        cOptions again;
        again.LoadOptions();
        EXPECT_EQ(again.OffloadPath(), c.path);
    }
}

TEST_F(OptionsTest, DefaultSaveWritesExactlySixLines) {
    options.LoadOptions();
    EXPECT_EQ(options.SaveOptions(), 0);
    EXPECT_EQ(ReadFile(SettingsFile()),
              "[TYFL]\nTimelimit=7\nCopyAction=0\nTrashPath=/home/tester/Trash\nDelUCFolders=1\n"
              "DelNullFiles=1\n");
    EXPECT_EQ(options.Saved(), -1);
    options.CopyAction(TransferMode::Move);
    EXPECT_EQ(options.Saved(), -1);
}

TEST_F(OptionsTest, SaveOverAFileKeepsItsOtherContentAndLetterCase) {
    WriteSettings("; written by hand\r\n[Other]\r\nKeep=me\r\n\r\n[TYFL]\r\nTimeLimit=3\r\n"
                  "; offload here\r\ntrashpath=/old\r\nMine=x\r\n");
    options.LoadOptions();
    options.TimeLimit(7.5f);
    options.SaveOptions();
    const std::string first = ReadFile(SettingsFile());
    EXPECT_NE(first.find("; written by hand\n"), std::string::npos) << first;
    EXPECT_NE(first.find("[Other]\nKeep=me\n"), std::string::npos);
    EXPECT_NE(first.find("TimeLimit=7.5\n"), std::string::npos);
    EXPECT_EQ(first.find("Timelimit"), std::string::npos);
    EXPECT_NE(first.find("; offload here\ntrashpath=/old\nMine=x\nCopyAction=0\nDelUCFolders=1\n"
                         "DelNullFiles=1\n"),
              std::string::npos);
    options.SaveOptions();
    EXPECT_EQ(ReadFile(SettingsFile()), first);
}

TEST_F(OptionsTest, FractionsRoundTripThroughTheFile) {
    for (float limit : {0.1f, 7.5f, 1.0f / 3.0f, 12345678.0f}) {
        options.TimeLimit(limit);
        options.SaveOptions();
        cOptions reader;
        reader.LoadOptions();
        EXPECT_NEAR(reader.TimeLimit(), limit, std::fabs(limit) * 1e-6f);
    }
    EXPECT_NE(ReadFile(SettingsFile()).find("Timelimit=1.234568e+07\n"), std::string::npos);
}

TEST_F(OptionsTest, PathWithALineBreakOrNonFiniteLimitIsNotSaved) {
    WriteSettings("[TYFL]\nTimeLimit=3\n");
    options.OffloadPath("/a\nCopyAction=2");
    EXPECT_THROW(options.SaveOptions(), Error);
    options.OffloadPath("/a");
    options.TimeLimit(std::numeric_limits<float>::infinity());
    EXPECT_THROW(options.SaveOptions(), Error);
    EXPECT_EQ(options.Saved(), 0);
    EXPECT_EQ(ReadFile(SettingsFile()), "[TYFL]\nTimeLimit=3\n");
}

TEST_F(OptionsTest, OffloadPathSetterRaisesEvenWhenUnchanged) {
    options.OffloadPath("/same");
    options.OffloadPath("/same");
    EXPECT_EQ(listener.paths, (std::vector<std::string>{"/same", "/same"}));
    EXPECT_EQ(options.OffloadPath(), "/same");  // the handler changed only its copy
    options.Connect(nullptr);
    options.OffloadPath("/quiet");
    EXPECT_EQ(listener.paths.size(), 2u);
}

TEST_F(OptionsTest, UnwritableFolderThrowsAndKeepsTheOldFile) {
    const std::string old = "[TYFL]\nTimeLimit=3\n";
    WriteSettings(old);
    chmod(SettingsFile().c_str(), 0644);
    const int status = test::RunUnprivileged([&] {
        cOptions mine;
        mine.TimeLimit(9.0f);
        try {
            mine.SaveOptions();
            ADD_FAILURE() << "saved into a folder it may not write";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), EACCES);
        }
        EXPECT_EQ(mine.Saved(), 0);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(SettingsFile()), old);
}

TEST_F(OptionsTest, UnreadableFileIsReportedNotReplacedByDefaults) {
    WriteSettings("[TYFL]\nTimeLimit=3\n");
    chmod(SettingsFile().c_str(), 0600);
    chmod(sandbox.AppFolder().c_str(), 0777);
    const int status = test::RunUnprivileged([&] {
        cOptions mine;
        EXPECT_EQ(LoadError(mine), EACCES);
        EXPECT_THROW(mine.SaveOptions(), Error);
        EXPECT_EQ(mine.Saved(), 0);
    });
    chmod(sandbox.AppFolder().c_str(), 0755);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(SettingsFile()), "[TYFL]\nTimeLimit=3\n");
}

TEST_F(OptionsTest, FailedFlushOrRenameThrowsAndKeepsTheOldFile) {
    const std::string old = "[TYFL]\nTimeLimit=3\n";
    for (fs::fault::Call call : {fs::fault::Call::Fsync, fs::fault::Call::Rename, fs::fault::Call::Write}) {
        WriteSettings(old);
        fs::fault::Reset();
        fs::fault::Inject(call, ENOSPC);
        options.TimeLimit(9.0f);
        try {
            options.SaveOptions();
            ADD_FAILURE() << fs::fault::Name(call) << ": reported as saved";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), ENOSPC) << fs::fault::Name(call);
        }
        EXPECT_EQ(options.Saved(), 0);
        EXPECT_EQ(ReadFile(SettingsFile()), old);
        fs::fault::Reset();
        EXPECT_EQ(fs::Folder::Get(sandbox.AppFolder()).EntryCount(), 1u) << "temporary file left behind";
    }
}

}  // namespace
}  // namespace tidyfold
