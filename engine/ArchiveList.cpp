#include "engine/ArchiveList.h"

namespace tidyfold {

namespace {

constexpr std::size_t kEntryLength = 3;

unsigned char LowerAscii(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

std::uint32_t Key(std::string_view three) {
    return (std::uint32_t{LowerAscii(three[0])} << 16) | (std::uint32_t{LowerAscii(three[1])} << 8) |
           std::uint32_t{LowerAscii(three[2])};
}

}  // namespace

ArchiveList ArchiveList::Parse(std::string_view text) {
    ArchiveList list;
    std::size_t start = 0;
    for (std::size_t comma = text.find(','); comma != std::string_view::npos; comma = text.find(',', start)) {
        if (comma - start == kEntryLength)
            list.entries_.insert(Key(text.substr(start, kEntryLength)));
        start = comma + 1;
    }
    return list;
}

std::optional<std::string_view> ArchiveList::BaseName(std::string_view fileName) const {
    if (fileName.size() <= kEntryLength)
        return std::nullopt;
    const std::string_view last = fileName.substr(fileName.size() - kEntryLength);
    if (entries_.count(Key(last)) == 0)
        return std::nullopt;
    std::size_t extension = 0;
    if (last.front() == '.')
        extension = kEntryLength;  // a listed ".7z" carries its own dot
    else if (fileName[fileName.size() - kEntryLength - 1] == '.')
        extension = kEntryLength + 1;
    else
        return std::nullopt;  // "Photoszip" only ends in the letters
    if (extension == fileName.size())
        return std::nullopt;
    return fileName.substr(0, fileName.size() - extension);
}

}  // namespace tidyfold
