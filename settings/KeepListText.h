#pragma once

// The keep list in the settings file, apart from the file itself. It lives
// in a section of its own, so the [TYFL] keys stay exactly as every reader of
// them knows them:
//
//   [Keep]
//   Pattern1=*.desktop
//   Pattern2=.*
//
// Every value of the section is a pattern, in the order of the file, whatever
// its key: a person adding a line "Pattern=..." adds a pattern. No section
// means no list (the defaults apply); a section without values is an empty
// list, which keeps nothing. Bytes that the file could not hold as they are
// (line breaks, other control bytes, "%", a blank at either end) are written
// as "%" and two hexadecimal digits; a "%" not followed by two is itself.

#include <optional>
#include <string>
#include <vector>

namespace tidyfold {

inline constexpr const char* kKeepSection = "Keep";

// The patterns of a settings text, or nothing when it has no list.
std::optional<std::vector<std::string>> ReadKeepPatterns(const std::string& text);

// text with its list replaced by patterns (nothing removes the section).
std::string WriteKeepPatterns(const std::string& text, const std::optional<std::vector<std::string>>& patterns);

}  // namespace tidyfold
