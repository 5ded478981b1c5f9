#include "ui/rtf/RtfReader.h"

#include <gtest/gtest.h>

#include <string>

namespace tidyfold {
namespace {

bool Contains(const std::string& html, const std::string& part)
{
    return html.find(part) != std::string::npos;
}

// The text of the HTML with every tag removed, entities as written.
std::string TextOf(const std::string& html)
{
    std::string text;
    bool inTag = false;
    for (char c : html) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag && c != '\n')
            text += c;
    }
    return text;
}

TEST(RtfReader, bold_italic_underline_switch_on_and_off)
{
    const std::string html = RtfToHtml(R"({\rtf1 plain {\b bold} \i italic\i0  \ul under\ulnone  after\par})");
    EXPECT_TRUE(Contains(html, "font-weight:bold;font-size:12pt;\">bold</span>")) << html;
    EXPECT_TRUE(Contains(html, "font-style:italic;font-size:12pt;\">italic</span>")) << html;
    EXPECT_TRUE(Contains(html, "text-decoration:underline;font-size:12pt;\">under</span>")) << html;
    EXPECT_TRUE(Contains(html, "<span style=\"font-size:12pt;\"> after</span>")) << html;
}

TEST(RtfReader, bold_ends_with_its_group_and_b0)
{
    const std::string html = RtfToHtml(R"({\rtf1 {\b A}B\b C\b0 D})");
    EXPECT_TRUE(Contains(html, "bold;font-size:12pt;\">A</span><span style=\"font-size:12pt;\">B</span>")) << html;
    EXPECT_TRUE(Contains(html, "bold;font-size:12pt;\">C</span><span style=\"font-size:12pt;\">D")) << html;
}

TEST(RtfReader, font_size_is_in_half_points)
{
    EXPECT_TRUE(Contains(RtfToHtml(R"({\rtf1\fs23 x})"), "font-size:11.5pt;"));
    EXPECT_TRUE(Contains(RtfToHtml(R"({\rtf1\fs40 x})"), "font-size:20pt;"));
    // Absurd sizes are held to something a window can lay out.
    EXPECT_TRUE(Contains(RtfToHtml(R"({\rtf1\fs99999999999 x})"), "font-size:200pt;"));
}

TEST(RtfReader, paragraphs_and_blank_lines)
{
    const std::string html = RtfToHtml(R"({\rtf1 one\par\par two\line three\tab four})");
    EXPECT_EQ(TextOf(html), "one&nbsp;twothree&nbsp;&nbsp;&nbsp;&nbsp;four") << html;
    EXPECT_EQ(3, [&] {
        int n = 0;
        for (std::size_t at = 0; (at = html.find("<p ", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }());
    EXPECT_TRUE(Contains(html, "two<br />three")) << html;
}

TEST(RtfReader, windows_1252_escapes_become_utf8)
{
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1 caf\'e9 \'80\'96})")), "caf\xC3\xA9 \xE2\x82\xAC\xE2\x80\x93");
    // A byte the code page leaves undefined shows the replacement character.
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1 \'81})")), "\xEF\xBF\xBD");
}

TEST(RtfReader, unicode_escape_skips_its_fallback)
{
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1 \u8364?5})")), "\xE2\x82\xAC" "5");
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1\uc2 \u8364\'80\'80x})")), "\xE2\x82\xAC" "x");
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1\uc0 \u8364 x})")), "\xE2\x82\xAC" "x");
    // Characters above U+7FFF come as negative numbers; pairs of surrogates
    // make one character.
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1 \u-169?})")), "\xEF\xBD\x97");
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1 \u-10179?\u-8704?})")), "\xF0\x9F\x98\x80");
}

TEST(RtfReader, escaped_symbols_and_html_special_characters)
{
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1 a\\b\{c\}d <e> & "f"})")), R"(a\b{c}d &lt;e&gt; &amp; &quot;f&quot;)");
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1 a  b})")), "a &nbsp;b");
}

TEST(RtfReader, skipped_groups_leave_no_text)
{
    const std::string rtf =
        R"({\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}}{\colortbl;\red0\green0\blue0;})"
        R"({\stylesheet{\s0 Normal;}}{\info{\title Secret}}{\*\generator Writer 1.0;})"
        R"({\*\unknowndest hidden}{\pict\pngblip 89504e47}{\header head}Body})";
    EXPECT_EQ(TextOf(RtfToHtml(rtf)), "Body");
}

TEST(RtfReader, binary_data_is_skipped_by_its_length)
{
    EXPECT_EQ(TextOf(RtfToHtml("{\\rtf1 {\\pict\\bin4 }{\\}}x}")), "x");
    EXPECT_EQ(TextOf(RtfToHtml("{\\rtf1 a\\bin999999999 zzz")), "a");
}

TEST(RtfReader, unbalanced_braces_give_the_text)
{
    EXPECT_EQ(TextOf(RtfToHtml(R"(}}}{\rtf1 a}}} b{)")), "a b");
    EXPECT_EQ(TextOf(RtfToHtml(R"({\rtf1 {\b open)")), "open");
    // A stray optional-destination marker outside any group hides nothing.
    EXPECT_EQ(TextOf(RtfToHtml(R"(\*plain)")), "plain");
}

TEST(RtfReader, truncated_escapes_end_quietly)
{
    for (const char* rtf : {"{\\rtf1 a\\", "{\\rtf1 a\\'", "{\\rtf1 a\\'4", "{\\rtf1 a\\u", "{\\rtf1 a\\u-",
                            "{\\rtf1 a\\fs", "{\\rtf1 a\\'zz"}) {
        const std::string text = TextOf(RtfToHtml(rtf));
        EXPECT_EQ(text.substr(0, 1), "a") << rtf;
    }
    EXPECT_EQ(TextOf(RtfToHtml("{\\rtf1 a\\'zzb}")), "azzb");
}

TEST(RtfReader, deep_nesting_does_not_exhaust_the_stack)
{
    const std::size_t depth = 100000;
    std::string rtf = "{\\rtf1 ";
    rtf.append(depth, '{');
    rtf += "\\b deep";
    rtf.append(depth, '}');
    rtf += " shallow}";
    const std::string html = RtfToHtml(rtf);
    EXPECT_EQ(TextOf(html), "deep shallow");
    EXPECT_TRUE(Contains(html, "bold;font-size:12pt;\">deep</span>"));

    // Never closed at all.
    std::string open(depth, '{');
    open += "x";
    EXPECT_EQ(TextOf(RtfToHtml(open)), "x");
}

TEST(RtfReader, empty_and_plain_input)
{
    EXPECT_EQ(TextOf(RtfToHtml("")), "");
    EXPECT_EQ(TextOf(RtfToHtml("just text")), "just text");
}

}  // namespace
}  // namespace tidyfold
