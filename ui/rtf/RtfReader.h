#pragma once

// A small reader for the rich text of license.rtf. Qt reads no RTF, so the
// agreement text is turned into the HTML subset that QTextEdit::setHtml
// understands. Plain C++ with no Qt, so it can be fuzzed on its own.

#include <string>
#include <string_view>

namespace tidyfold {

// Paragraphs, bold, italic, underline, font size, line breaks, tabs, \'hh
// (Windows-1252) and \uN characters are kept; font, colour, style, picture
// and information groups and every other destination are skipped. Any input
// gives some HTML: malformed text is read as far as it makes sense, with no
// recursion, so deep nesting cannot exhaust the stack. All text is escaped.
std::string RtfToHtml(std::string_view rtf);

}  // namespace tidyfold
