#pragma once

// The keep list in the settings file, apart from the file itself. It lives
// in a section of its own, so the [TYFL] keys stay exactly as every reader of
// them knows them. Each value is one line of the list, as the Keep tab shows
// it (settings/KeepList.h: the lines of an ignore file), in the order of the
// file, whatever its key:
//
//   [Keep]
//   Line1=*.desktop
//   Line2=.*
//   Line3=" lead.txt"
//
// A person adding a line "Pattern=..." adds that line, byte for byte. Two
// forms only Tidyfold writes, so that every line reads back as it was:
//  - a line that begins or ends with a blank or a tab (which the file would
//    drop) is written between double quotes; the quotes are taken off only
//    where a blank or tab lies just inside them (or the line inside is such
//    a quoted one itself), so a hand-written "name" keeps its quotes;
//  - a line holding another control byte (a line break, for one) is written
//    under a key "Pattern<number>" with that byte, "%" and a blank at
//    either end as "%" and two upper-case hexadecimal digits, as Tidyfold
//    wrote every line before. Only those escapes are read under such a key,
//    so a hand-written "%41.txt" stays "%41.txt" under any key.
// No section means no list (the defaults apply); a section without values
// is an empty list, which keeps nothing.

#include <optional>
#include <string>
#include <vector>

namespace tidyfold {

inline constexpr const char* kKeepSection = "Keep";

// The lines of a settings text's list, or nothing when it has none.
std::optional<std::vector<std::string>> ReadKeepPatterns(const std::string& text);

// text with its list replaced by patterns (nothing removes the section).
std::string WriteKeepPatterns(const std::string& text, const std::optional<std::vector<std::string>>& patterns);

}  // namespace tidyfold
