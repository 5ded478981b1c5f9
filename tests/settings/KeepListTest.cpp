#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/Glob.h"
#include "settings/KeepList.h"
#include "settings/KeepListText.h"
#include "settings/SettingsText.h"
#include "settings/cOptions.h"
#include "tests/support/Sandbox.h"
#include "tests/support/TempDir.h"

namespace tidyfold {
namespace {

using Patterns = std::vector<std::string>;
constexpr KeepKind F = KeepKind::File;
constexpr KeepKind D = KeepKind::Folder;

TEST(KeepList, PatternRules) {
    struct Case {
        Patterns patterns;
        std::string path;
        KeepKind kind;
        bool kept;
    };
    const std::vector<Case> cases = {
        // No "/": a name at any depth, file or folder.
        {{"*.desktop"}, "firefox.desktop", F, true},
        {{"*.desktop"}, "Apps/Games/chess.desktop", F, true},
        {{"*.desktop"}, "firefox.desktop.bak", F, false},
        {{".*"}, ".directory", F, true},
        {{".*"}, "Work/.git/config", F, true},  // inside a kept hidden folder
        {{".*"}, "Work/notes.txt", F, false},
        {{"*.kdbx"}, "Vault.kdbx", D, true},
        // A "/" before the end: the path below the Desktop, from the top.
        {{"Notes/*.txt"}, "Notes/a.txt", F, true},
        {{"Notes/*.txt"}, "Old/Notes/a.txt", F, false},
        {{"Notes/*.txt"}, "Notes/deeper/a.txt", F, false},  // "*" never crosses a "/"
        {{"/todo.txt"}, "todo.txt", F, true},
        {{"/todo.txt"}, "Work/todo.txt", F, false},
        // A "/" at the end: folders only, and all they hold.
        {{"Projects/"}, "Projects", D, true},
        {{"Projects/"}, "Projects", F, false},
        {{"Projects/"}, "Old/Projects/src/main.c", F, true},
        {{"/Projects/"}, "Old/Projects/src/main.c", F, false},
        {{"Projects"}, "Projects/readme", F, true},  // a name pattern keeps a folder's contents too
        // "**" as a whole part.
        {{"**/build"}, "build", D, true},
        {{"**/build"}, "a/b/build", F, true},
        {{"Photos/**/*.raw"}, "Photos/x.raw", F, true},
        {{"Photos/**/*.raw"}, "Photos/2024/May/x.raw", F, true},
        {{"Photos/**/*.raw"}, "Other/x.raw", F, false},
        {{"Photos/**"}, "Photos", D, false},  // what is inside, not the folder itself
        {{"Photos/**"}, "Photos/a/b", F, true},
        {{"a**b"}, "aXb", F, true},  // not a whole part: an ordinary "*"
        // An empty pattern matches nothing (the rest of the ignore-file
        // rules are checked against git itself in KeepListGitTest.cpp).
        {{"", "/", "!", "#"}, "anything", F, false},
        // A "[" never closed is an ordinary byte; git's pattern would match
        // nothing, which would let the file go: kept on purpose.
        {{"notes[draft.txt"}, "notes[draft.txt", F, true},
        {{}, "anything", F, false},
        // Several patterns: any one keeps.
        {{"*.desktop", ".*"}, ".config", D, true},
        {{"*.desktop", ".*"}, "report.pdf", F, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.patterns) + " against " + c.path);
        EXPECT_EQ(KeepList(c.patterns).Keeps(c.path, c.kind), c.kept);
    }
}

TEST(KeepList, MatchesLooksAtTheEntryAloneKeepsAtTheFoldersAboveToo) {
    // With and without a pattern that needs the whole path, which decides
    // whether a name alone is looked at.
    for (const Patterns& patterns : {Patterns{"Projects/", "!a.txt", "!Old/"}, Patterns{"Projects/", "!a.txt", "/x/y"}}) {
        SCOPED_TRACE(::testing::PrintToString(patterns));
        const KeepList list(patterns);
        EXPECT_TRUE(list.Matches("Old/Projects", D));
        EXPECT_FALSE(list.Matches("Old/Projects/a.txt", F));  // taken back, for the entry alone
        EXPECT_TRUE(list.Keeps("Old/Projects/a.txt", F));    // but its folder is kept
        EXPECT_FALSE(list.Matches("Old", D));
    }
}

TEST(Glob, WildcardsWithinAName) {
    struct Case {
        std::string pattern;
        std::string name;
        bool match;
    };
    const std::vector<Case> cases = {
        {"*", ".hidden", true},  // a leading dot is an ordinary byte
        {"?", "\xC3\xA9", false},  // bytes, not characters
        {"??", "\xC3\xA9", true},
        {"[a-c]x", "bx", true},
        {"[!a-c]x", "bx", false},
        {"[^a-c]x", "dx", true},
        {"[]]", "]", true},
        {"[a-]", "-", true},
        {"[[:digit:]]*", "7up", true},
        {"[[:nosuch:]]", "a", false},
        {"[abc", "[abc", true},  // never closed: an ordinary "["
        {"\\*", "*", true},
        {"\\*", "x", false},
        {"a\\", "a\\", false},  // a "\" with nothing to take
        {"[a-z][[:digit:]x", "b[", false},  // never closed: "[[:digit:]x" is taken as it is
        {"[a-z][[:digit:]x", "b[:x", true},  // "[" itself, then the set ":digt"
        {"*a*b*c", "xaybzc", true},
        {"*a*b*c", "xaybzcd", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern + " against " + c.name);
        EXPECT_EQ(GlobMatch(c.pattern, c.name), c.match);
    }
}

TEST(KeepListText, RoundTripsAnyPatternAndTellsNoListFromAnEmptyOne) {
    const std::vector<std::optional<Patterns>> lists = {
        std::nullopt,
        Patterns{},
        Patterns{"*.desktop", ".*"},
        Patterns{" lead", "trail ", "50%", "%41", "tab\there", std::string("nul\0byte", 8), "line\nbreak", ""},
        Patterns{"[TYFL]", "; not a comment", "a=b", "=a", "#b", "<<<END", "\xFF\xFE"},
        // What only the quotes or the escapes keep, and lines that look like
        // them.
        Patterns{"\" q\"", "\"\" q\"\"", "\"q\"", "\"", "\t", "esc.txt\\ ", "x\r", "%20", "%25", "\x7f"},
    };
    const std::string other = "; mine\n[TYFL]\nCopyAction=1\n\n[Other]\nA=1\n";
    for (const auto& list : lists) {
        SCOPED_TRACE(list ? ::testing::PrintToString(*list) : "no list");
        const std::string text = WriteKeepPatterns(other, list);
        EXPECT_EQ(ReadKeepPatterns(text), list);
        EXPECT_EQ(text.rfind("; mine\n", 0), 0u) << text;
        EXPECT_NE(text.find("[TYFL]\nCopyAction=1\n"), std::string::npos) << text;
        EXPECT_NE(text.find("[Other]\nA=1\n"), std::string::npos) << text;
        // Writing the same list again changes nothing.
        EXPECT_EQ(WriteKeepPatterns(text, list), text);
    }
}

TEST(KeepListText, ReadsWhatAPersonWrites) {
    struct Case {
        std::string text;
        std::optional<Patterns> list;
    };
    const std::vector<Case> cases = {
        {"[TYFL]\nCopyAction=1\n", std::nullopt},
        {"[Keep]\n", Patterns{}},
        {"[keep]\nPattern=a\npattern=b\nOther=c\nPattern=d\n", Patterns{"a", "b", "c", "d"}},
        {"[Keep]\r\nPattern1 = *.kdbx \r\n", Patterns{"*.kdbx"}},
        {"[Keep]\nP=100%\nQ=%zz%4\nR=%2f%2F\nS=%41.txt\nT=%20x%25\n",
         Patterns{"100%", "%zz%4", "%2f%2F", "%41.txt", "%20x%25"}},
        // Quotes come off only where a blank lies just inside them.
        {"[Keep]\nA=\" lead\"\nB=\"name\"\nC=\"\t\"\n", Patterns{" lead", "\"name\"", "\t"}},
        // As Tidyfold wrote every list before: only its own escapes read.
        {"[Keep]\nPattern1=%20lead\nPattern2=trail%20\nPattern3=50%25\nPattern4=a%0Ab\npattern5=%41%20x\n"
         "Pattern6=\" q\"\n",
         Patterns{" lead", "trail ", "50%", "a\nb", "%41%20x", "\" q\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadKeepPatterns(c.text), c.list);
    }
}

TEST(KeepListText, ListReplacedInPlaceAndSectionRemovedWithoutOne) {
    const std::string before = "[Keep]\nPattern1=a\nPattern2=b\nPattern3=c\n\n[TYFL]\nCopyAction=1\n";
    const std::string shorter = WriteKeepPatterns(before, Patterns{"z"});
    EXPECT_EQ(shorter, "[Keep]\nLine1=z\n\n[TYFL]\nCopyAction=1\n");
    EXPECT_EQ(WriteKeepPatterns("", Patterns{" a", "b", "c\nd"}), "[Keep]\nLine1=\" a\"\nLine2=b\nPattern3=c%0Ad\n");
    EXPECT_EQ(WriteKeepPatterns(before, std::nullopt), "[TYFL]\nCopyAction=1\n");
    // A lone CR ends a line for the reader, so "[Keep]" after one in a
    // comment is the section itself and must go too.
    const std::string crInComment = "[TYFL]\nCopyAction=1\n; note\r[Keep]\n";
    const std::string removed = WriteKeepPatterns(crInComment, std::nullopt);
    EXPECT_EQ(ReadKeepPatterns(removed), std::nullopt) << removed;
    EXPECT_EQ(ReadKeepPatterns(WriteKeepPatterns(crInComment, Patterns{"b"})), Patterns{"b"});
}

TEST(KeepListText, OptionsLoadAndSaveTheListBesideTheFiveKeys) {
    test::Sandbox sandbox;
    cOptions options = sandbox.Options();
    options.KeepPatterns(std::nullopt);
    options.SaveOptions();
    // Saving the defaults with no list keeps the file the six lines it was.
    EXPECT_EQ(test::ReadFile(sandbox.SettingsFile()).find("[Keep]"), std::string::npos);
    cOptions loaded;
    loaded.KeepPatterns(Patterns{"stale"});
    loaded.LoadOptions();
    EXPECT_EQ(loaded.KeepPatterns(), std::nullopt);
    EXPECT_EQ(loaded.EffectiveKeepPatterns(), DefaultKeepPatterns());

    options.KeepPatterns(Patterns{});
    options.SaveOptions();
    loaded.LoadOptions();
    EXPECT_EQ(loaded.KeepPatterns(), Patterns{});
    EXPECT_EQ(loaded.EffectiveKeepPatterns(), Patterns{});

    cOptions parsed;
    ParseSettingsText(ComposeSettingsText("", options), parsed);
    EXPECT_EQ(parsed.KeepPatterns(), Patterns{});

    // The list alone, for operations that load no other setting: read even
    // when another key would not convert.
    test::WriteFile(sandbox.SettingsFile(), "[TYFL]\nCopyAction=abc\n[Keep]\nPattern1=*.kdbx\n");
    EXPECT_EQ(cOptions::StoredKeepPatterns(), Patterns{"*.kdbx"});
    test::WriteFile(sandbox.SettingsFile(), "[TYFL]\nCopyAction=abc\n");
    EXPECT_EQ(cOptions::StoredKeepPatterns(), DefaultKeepPatterns());
}

}  // namespace
}  // namespace tidyfold
