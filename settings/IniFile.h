#pragma once

// Profile-file text: sections in square brackets, "key=value" lines, comments
// starting with ";" or "#". Section and key names are matched without regard
// to letter case. Both functions work on text only, never on files, so the
// callers decide how the file is read and written.

#include <optional>
#include <string>
#include <vector>

namespace tidyfold::ini {

// The value of key in section, blanks around it removed; nothing when the
// section or the key is missing. LF and CRLF line ends both read. When a key
// appears twice in a section, its last value counts (that is the entry a save
// replaces). The text ends at its first NUL byte.
std::optional<std::string> ReadValue(const std::string& text, const std::string& section,
                                     const std::string& key);

struct Entry {
    std::string key;
    std::string value;
};

// text with every entry set in section, in order. An existing key keeps its
// letter case and its place and only gets the new value; a new key goes at
// the end of its section; a missing section is added at the end. Other
// sections, keys and comments are kept; lines are written with LF and
// "key=value" without spaces. Lines that are neither sections, entries nor
// comments are not kept. A value holding a line break or NUL cannot be
// written: throws Error EINVAL.
std::string WriteValues(const std::string& text, const std::string& section,
                        const std::vector<Entry>& entries);

// Every entry of section in the order of the file, duplicate keys included
// (each with the key's first spelling); nothing when the section is missing
// (an empty section gives an empty list).
std::optional<std::vector<Entry>> ReadSectionEntries(const std::string& text, const std::string& section);

// text with section holding exactly entries, in order: its old keys go, the
// section keeps its place (or is added at the end), and an empty list leaves
// an empty section. Without entries (nullopt) the section is removed. Other
// sections and comments are kept as WriteValues keeps them; the same values
// cannot be written.
std::string ReplaceSection(const std::string& text, const std::string& section,
                           const std::optional<std::vector<Entry>>& entries);

}  // namespace tidyfold::ini
