#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "base/Error.h"
#include "settings/NumberText.h"

namespace tidyfold {
namespace {

int ErrorNumberOf(void (*call)(const std::string&), const std::string& text) {
    try {
        call(text);
    } catch (const Error& error) {
        return error.Number();
    }
    return 0;
}

void Int16(const std::string& text) { (void)ParseInt16(text); }
void Single(const std::string& text) { (void)ParseSingle(text); }

TEST(NumberText, Int16AcceptsDecimalTextWithBlanksSignsAndExponent) {
    EXPECT_EQ(ParseInt16("0"), 0);
    EXPECT_EQ(ParseInt16(" 12 "), 12);
    EXPECT_EQ(ParseInt16("\t-7"), -7);
    EXPECT_EQ(ParseInt16("+3"), 3);
    EXPECT_EQ(ParseInt16("1e3"), 1000);
    EXPECT_EQ(ParseInt16("32767"), 32767);
    EXPECT_EQ(ParseInt16("-32768"), -32768);
}

TEST(NumberText, Int16RoundsFractionsHalfToEven) {
    EXPECT_EQ(ParseInt16("2.5"), 2);
    EXPECT_EQ(ParseInt16("3.5"), 4);
    EXPECT_EQ(ParseInt16("-2.5"), -2);
    EXPECT_EQ(ParseInt16("1.49"), 1);
    EXPECT_EQ(ParseInt16(".6"), 1);
    // Rounds to -32768, which fits; 32767.5 rounds to 32768, which does not.
    EXPECT_EQ(ParseInt16("-32768.5"), -32768);
    EXPECT_EQ(ErrorNumberOf(Int16, "32767.5"), kOverflow);
}

TEST(NumberText, Int16OutsideSixteenBitsIsOverflow) {
    for (const char* text : {"40000", "32768", "-32769", "1e10", "1e400", "-1e400"})
        EXPECT_EQ(ErrorNumberOf(Int16, text), kOverflow) << text;
}

TEST(NumberText, TextThatIsNotANumberIsTypeMismatch) {
    for (const char* text : {"", " ", "abc", "1a", "1,5", "0x10", "&H10", "inf", "nan", "-",
                             ".", "1e", "1e+", "--1", "1 2", "1.2.3", "e5"}) {
        EXPECT_EQ(ErrorNumberOf(Int16, text), kTypeMismatch) << '"' << text << '"';
        EXPECT_EQ(ErrorNumberOf(Single, text), kTypeMismatch) << '"' << text << '"';
    }
}

TEST(NumberText, SingleReadsFractionsAndLimits) {
    EXPECT_FLOAT_EQ(ParseSingle("2.5"), 2.5f);
    EXPECT_FLOAT_EQ(ParseSingle(" 7 "), 7.0f);
    EXPECT_FLOAT_EQ(ParseSingle("-0.25"), -0.25f);
    EXPECT_FLOAT_EQ(ParseSingle("1.5E2"), 150.0f);
    EXPECT_EQ(ParseSingle("1e-400"), 0.0f);  // too small for a single: 0
    EXPECT_EQ(ErrorNumberOf(Single, "1e39"), kOverflow);
    EXPECT_EQ(ErrorNumberOf(Single, "-1e39"), kOverflow);
    EXPECT_EQ(ErrorNumberOf(Single, "1e400"), kOverflow);
}

TEST(NumberText, SingleToTextUsesUpToSevenDigitsAndAPoint) {
    EXPECT_EQ(SingleToText(7.0f), "7");
    EXPECT_EQ(SingleToText(7.5f), "7.5");
    EXPECT_EQ(SingleToText(0.1f), "0.1");
    EXPECT_EQ(SingleToText(0.0f), "0");
    EXPECT_EQ(SingleToText(-3.25f), "-3.25");
    EXPECT_EQ(SingleToText(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(SingleToText(365.0f), "365");
}

TEST(NumberText, SavedTextReadsBackToTheSameSevenDigits) {
    for (float value : {7.0f, 7.5f, 0.1f, 1.0f / 3.0f, 12345678.0f, 0.00001f, 3.4e38f, -2.5f}) {
        const std::string text = SingleToText(value);
        EXPECT_EQ(SingleToText(ParseSingle(text)), text) << text;
    }
}

// Where no comma-decimal locale is installed this runs in the current one,
// which still guards the text format itself.
TEST(NumberText, CommaDecimalLocaleChangesNeitherDirection) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old != nullptr ? old : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"}) {
        if (std::setlocale(LC_ALL, name) != nullptr)
            break;
    }
    EXPECT_EQ(SingleToText(7.5f), "7.5");
    EXPECT_EQ(SingleToText(0.1f), "0.1");
    EXPECT_FLOAT_EQ(ParseSingle("7.5"), 7.5f);
    EXPECT_EQ(ParseInt16("2.5"), 2);
    EXPECT_EQ(ErrorNumberOf(Single, "7,5"), kTypeMismatch);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(NumberText, HugeDigitStringsDoNotOverflowTheReader) {
    EXPECT_EQ(ParseInt16(std::string(100000, '0') + "5"), 5);
    EXPECT_EQ(ErrorNumberOf(Int16, std::string(100000, '9')), kOverflow);
    EXPECT_FLOAT_EQ(ParseSingle("0." + std::string(100000, '0') + "1"), 0.0f);
}

}  // namespace
}  // namespace tidyfold
