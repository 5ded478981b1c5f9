// Bad input to the three readers, through the files the program really reads:
// settings.ini and compressed.lst in the application folder, and license.rtf
// text handed to the RTF reader. Huge, binary, truncated and contradictory
// input gives a defined result or a tidyfold::Error, never a crash.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/cTidyfold.h"
#include "base/Error.h"
#include "settings/cOptions.h"
#include "tests/reliability/LossCheck.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestArchive.h"
#include "ui/rtf/RtfReader.h"

namespace tidyfold::reliability {
namespace {

class BadSettings : public ::testing::Test {
protected:
    // Loads settings.ini holding text into a fresh object.
    cOptions Load(const std::string& text) {
        test::WriteFile(box_.AppFolder() + "/settings.ini", text);
        cOptions options;
        options.LoadOptions();
        return options;
    }

    Sandbox box_{"/tmp"};
};

TEST_F(BadSettings, TenMebibyteFileIsReadToItsEnd) {
    std::string text = "[TYFL]\n";
    const std::string filler = "; a comment line that a reader must step over without trouble\n";
    while (text.size() < (10u << 20))
        text += filler;
    text += "CopyAction=2\nTrashPath=/srv/at the end\n";
    cOptions options = Load(text);
    EXPECT_EQ(options.CopyAction(), TransferMode::Delete);
    EXPECT_EQ(options.OffloadPath(), "/srv/at the end");
}

TEST_F(BadSettings, BinaryGarbageLoadsOrFailsWithTheProgramsError) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 20; ++round) {
        std::string text(64 * 1024, '\0');
        for (char& c : text)
            c = static_cast<char>(rng());
        // Some rounds carry a section header so the keys' values are garbage.
        if (round % 2 == 0)
            text = "[TYFL]\nCopyAction=" + text;
        try {
            cOptions options = Load(text);
            EXPECT_LE(options.OffloadPath().size(), 254u) << "round " << round;
        } catch (const Error& error) {
            EXPECT_NE(error.Number(), 0) << "round " << round;
        }
    }
}

TEST_F(BadSettings, TextEndsAtItsFirstNul) {
    cOptions options = Load(std::string("[TYFL]\nCopyAction=1\n\0[TYFL]\nCopyAction=2\nTimelimit=3\n", 49));
    EXPECT_EQ(options.CopyAction(), TransferMode::Move);
    EXPECT_FLOAT_EQ(options.TimeLimit(), 7.0f);
}

// Without its closing bracket the line names no section, so the keys below
// it belong to none and the defaults apply.
TEST_F(BadSettings, SectionHeaderWithoutClosingBracketNamesNoSection) {
    cOptions options = Load("[TYFL\nCopyAction=2\nTrashPath=/srv/elsewhere\n");
    EXPECT_EQ(options.CopyAction(), TransferMode::CopyThenDelete);
    EXPECT_EQ(options.OffloadPath(), box_.Home() + "/Trash");
}

TEST_F(BadSettings, RepeatedKeysAndSectionsTakeTheLastValue) {
    cOptions options = Load("[TYFL]\nCopyAction=1\nCopyAction=2\n[Other]\nTimelimit=9\n[TYFL]\nTimelimit=3\n"
                            "copyaction=1\n");
    EXPECT_EQ(options.CopyAction(), TransferMode::Move);
    EXPECT_FLOAT_EQ(options.TimeLimit(), 3.0f);
}

TEST_F(BadSettings, TenThousandCharacterValueIsCutTo254) {
    std::string path = "/";
    for (int i = 0; path.size() < 10000; ++i)
        path += static_cast<char>('a' + i % 26);
    cOptions options = Load("[TYFL]\nTrashPath=" + path + "\n");
    EXPECT_EQ(options.OffloadPath(), path.substr(0, 254));
}

// Three-character entries from a running number, all distinct.
std::string Entry(int k) {
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    return {digits[k / 1296 % 36], digits[k / 36 % 36], digits[k % 36]};
}

TEST(BadArchiveList, FortyThousandEntriesAreAllCompared) {
    Sandbox box("/tmp");
    constexpr int kEntries = 40000;
    std::string list;
    for (int k = 0; k < kEntries; ++k)
        list += Entry(k) + ",";
    box.WriteArchiveList(list);
    const std::string d = box.Desktop();
    test::WriteFile(d + "/Last/inside.txt", "unpacked");
    test::WriteArchive(d + "/Last." + Entry(kEntries - 1), test::ArchiveFormat::Zip, {{"inside.txt", "unpacked"}});
    test::WriteFile(d + "/Early." + Entry(3), "archive");
    test::WriteFile(d + "/Other.q-z", "not listed");

    cTidyfold engine;
    EXPECT_EQ(engine.IsCompressedFile(fs::File(d + "/Last." + Entry(kEntries - 1))), kTrue);
    EXPECT_EQ(engine.IsCompressedFile(fs::File(d + "/Early." + Entry(3))), kTrue);
    EXPECT_EQ(engine.IsCompressedFile(fs::File(d + "/Other.q-z")), kFalse);
    EXPECT_EQ(engine.ProcessCompressed(d), 1);
    EXPECT_FALSE(test::Exists(d + "/Last"));
    EXPECT_TRUE(test::Exists(d + "/Last." + Entry(kEntries - 1)));

    // Without a comma after it, the last entry is never compared, however
    // long the list.
    box.WriteArchiveList(list + Entry(kEntries));
    EXPECT_EQ(engine.IsCompressedFile(fs::File(d + "/x." + Entry(kEntries))), kFalse);
}

TEST(BadArchiveList, BinaryListMatchesOnlyWhatItLists) {
    Sandbox box("/tmp");
    std::string list("\xff\xfe\0zip\n,\0\0\0,zip,\xc3\xa9\xc3,", 19);
    box.WriteArchiveList(list);
    cTidyfold engine;
    EXPECT_EQ(engine.IsCompressedFile(fs::File(box.Desktop() + "/a.zip")), kTrue);
    EXPECT_EQ(engine.IsCompressedFile(fs::File(box.Desktop() + std::string("/a.\0\0\0", 6))), kTrue);
    EXPECT_EQ(engine.IsCompressedFile(fs::File(box.Desktop() + "/a.rar")), kFalse);
}

TEST(BadRtf, UnbalancedBracesGiveTheirText) {
    EXPECT_NE(RtfToHtml("{\\rtf1 {\\b never closed").find("never closed"), std::string::npos);
    EXPECT_NE(RtfToHtml("}}}}{\\rtf1 after closers}}}}").find("after closers"), std::string::npos);
}

TEST(BadRtf, HundredThousandDeepNestingNeitherOverflowsNorLosesText) {
    const std::string open(100000, '{'), close(100000, '}');
    EXPECT_NE(RtfToHtml(open + "\\rtf1 deep" + close).find("deep"), std::string::npos);
    EXPECT_NE(RtfToHtml(open + "\\rtf1 never closed").find("never closed"), std::string::npos);
    EXPECT_NE(RtfToHtml("{\\rtf1 " + close + " after").find("after"), std::string::npos);
}

}  // namespace
}  // namespace tidyfold::reliability
