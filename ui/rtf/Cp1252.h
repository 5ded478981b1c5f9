#pragma once

#include <string>

namespace tidyfold::rtf {

// The Unicode character for one Windows-1252 byte; U+FFFD for the five bytes
// the code page leaves undefined.
char32_t Cp1252ToUnicode(unsigned char byte);

// Appends cp as UTF-8; surrogates and values beyond U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace tidyfold::rtf
