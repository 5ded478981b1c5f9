#pragma once

// The archive extensions of compressed.lst and the test of a file name
// against them. Pure: no file access, safe on any bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_set>

namespace tidyfold {

class ArchiveList {
public:
    // The list text, read whole: entries separated by ",", nothing trimmed.
    // The piece after the last comma is never compared, so a list written as
    // "zip,rar," is read completely. Only three-character entries can match;
    // letters compare without regard to ASCII case.
    static ArchiveList Parse(std::string_view text);

    // For an archive, the name without its extension: "Photos.zip" with "zip"
    // listed gives "Photos", "Photos.7z" with ".7z" listed gives "Photos".
    // Nothing for any other name, for names shorter than four characters, and
    // for an empty base. The view points into fileName.
    std::optional<std::string_view> BaseName(std::string_view fileName) const;

    std::size_t EntryCount() const { return entries_.size(); }

private:
    // Three lower-cased bytes packed into one number.
    std::unordered_set<std::uint32_t> entries_;
};

}  // namespace tidyfold
