#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/Error.h"
#include "settings/IniFile.h"
#include "settings/SettingsText.h"
#include "settings/cOptions.h"

namespace tidyfold {
namespace {

std::vector<ini::Entry> FiveEntries(const std::string& timeLimit) {
    return {{"Timelimit", timeLimit}, {"CopyAction", "1"}, {"TrashPath", "/t"},
            {"DelUCFolders", "0"}, {"DelNullFiles", "1"}};
}

TEST(IniFile, NamesMatchWithoutRegardToCase) {
    const std::string text = "[tyfl]\ntimelimit=14\nTRASHPATH = /x y \n";
    EXPECT_EQ(ini::ReadValue(text, "TYFL", "TimeLimit"), "14");
    EXPECT_EQ(ini::ReadValue(text, "TYFL", "TrashPath"), "/x y");
    EXPECT_EQ(ini::ReadValue(text, "TYFL", "CopyAction"), std::nullopt);
    EXPECT_EQ(ini::ReadValue(text, "Other", "TimeLimit"), std::nullopt);
}

TEST(IniFile, CrlfLinesReadLikeLfLines) {
    const std::string text = "[TYFL]\r\nCopyAction=2\r\nTrashPath=/srv/t\r\n";
    EXPECT_EQ(ini::ReadValue(text, "TYFL", "CopyAction"), "2");
    EXPECT_EQ(ini::ReadValue(text, "TYFL", "TrashPath"), "/srv/t");
}

TEST(IniFile, ValueStartingWithMultiLineTagStaysOnItsLine) {
    const std::string text = "[TYFL]\nTrashPath=<<<END\nCopyAction=1\nEND\n";
    EXPECT_EQ(ini::ReadValue(text, "TYFL", "TrashPath"), "<<<END");
    EXPECT_EQ(ini::ReadValue(text, "TYFL", "CopyAction"), "1");
}

TEST(IniFile, FreshTextIsTheSixDocumentedLines) {
    EXPECT_EQ(ini::WriteValues("", "TYFL", FiveEntries("7")),
              "[TYFL]\nTimelimit=7\nCopyAction=1\nTrashPath=/t\nDelUCFolders=0\nDelNullFiles=1\n");
}

TEST(IniFile, WriteKeepsOtherContentAndLetterCaseAndAddsNewKeysAtSectionEnd) {
    const std::string before =
        "; my settings\n\n[Other]\nA=1\n\n[TYFL]\n; the age limit\nTimeLimit=3\nExtra=keep\n"
        "copyaction=0\n\n[Last]\nB=2\n";
    const std::string after = ini::WriteValues(before, "TYFL", FiveEntries("7.5"));
    EXPECT_NE(after.find("; my settings"), std::string::npos);
    EXPECT_NE(after.find("; the age limit\nTimeLimit=7.5\n"), std::string::npos);
    EXPECT_NE(after.find("Extra=keep\ncopyaction=1\nTrashPath=/t\nDelUCFolders=0\nDelNullFiles=1\n"),
              std::string::npos)
        << after;
    EXPECT_EQ(after.find("Timelimit"), std::string::npos);
    EXPECT_LT(after.find("[Other]\nA=1\n"), after.find("[TYFL]"));
    EXPECT_LT(after.find("[TYFL]"), after.find("[Last]\nB=2\n"));
    // Writing again changes nothing: no line is added.
    EXPECT_EQ(ini::WriteValues(after, "TYFL", FiveEntries("7.5")), after);
}

TEST(IniFile, CommentsAfterTheLastEntrySurviveAndSectionsStayOneBlankLineApart) {
    const std::string before = "[Other]\nA=1\n\n\n\n[TYFL]\nCopyAction=0\n; end note\r\n\n  # last\n";
    const std::string after = ini::WriteValues(before, "TYFL", {{"CopyAction", "2"}});
    EXPECT_EQ(after, "[Other]\nA=1\n\n[TYFL]\nCopyAction=2\n\n; end note\n  # last\n");
    EXPECT_EQ(ini::WriteValues(after, "TYFL", {{"CopyAction", "2"}}), after);

    const std::string onlyComments = ini::WriteValues("; top\n\n; more\n", "TYFL", {{"K", "v"}});
    EXPECT_EQ(onlyComments, "; top\n\n[TYFL]\nK=v\n\n; more\n");
    EXPECT_EQ(ini::WriteValues(onlyComments, "TYFL", {{"K", "v"}}), onlyComments);
}

TEST(IniFile, MissingSectionIsAddedAfterTheOthers) {
    const std::string after = ini::WriteValues("[Other]\r\nA=1\r\n", "TYFL", FiveEntries("7"));
    EXPECT_EQ(after.find("[Other]\nA=1\n"), 0u) << after;
    EXPECT_NE(after.find("[TYFL]\nTimelimit=7\n"), std::string::npos);
    EXPECT_EQ(after.find('\r'), std::string::npos);
}

TEST(IniFile, ValueWithALineBreakIsRefused) {
    for (const char* path : {"/a\nb", "/a\rb"}) {
        try {
            ini::WriteValues("", "TYFL", {{"TrashPath", path}});
            ADD_FAILURE() << "written";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), EINVAL);
        }
    }
}

// Reads what the loader reads, for the robustness cases below.
void LoadText(const std::string& text) {
    cOptions options;
    try {
        ParseSettingsText(text, options);
    } catch (const Error&) {
        // A value that does not convert is a normal outcome for garbage.
    }
}

TEST(IniFile, BinaryGarbageAndHugeTextsNeitherCrashNorHang) {
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        std::string text(random() % 2000, '\0');
        for (char& c : text)
            c = static_cast<char>(random());
        if (round % 2 == 0)
            text = "[TYFL]\n" + text;
        LoadText(text);
        (void)ini::WriteValues(text, "TYFL", FiveEntries("7"));
    }
    std::string big = "[TYFL]\nTrashPath=" + std::string(10 << 20, 'x') + "\n";
    cOptions options;
    ParseSettingsText(big, options);
    EXPECT_EQ(options.OffloadPath(), std::string(254, 'x'));

    std::string lines;
    while (lines.size() < (10u << 20))
        lines += "[S" + std::to_string(lines.size() % 977) + "]\nkey" + std::to_string(lines.size()) + "=v\n";
    LoadText(lines);
}

}  // namespace
}  // namespace tidyfold
