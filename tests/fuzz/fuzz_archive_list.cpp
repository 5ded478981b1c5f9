// The compressed.lst reader and matcher on any bytes, against a plain
// reference of the rules: entries split at commas, the piece after the last
// comma never compared, only three-byte entries, ASCII case ignored, an
// archive is a name ending in "." plus a listed entry or in a listed entry
// that begins with a dot, and its base name is the name without that ending.
//
// Input: the list text, a NUL byte, then the file name.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "engine/ArchiveList.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::optional<std::string_view> Reference(std::string_view list, std::string_view name) {
    std::set<std::string> entries;
    std::size_t start = 0;
    for (std::size_t comma; (comma = list.find(',', start)) != std::string_view::npos; start = comma + 1)
        if (comma - start == 3)
            entries.insert(Lower(list.substr(start, 3)));
    if (name.size() < 4)
        return std::nullopt;
    const std::string tail = Lower(name.substr(name.size() - 3));
    if (entries.count(tail) == 0)
        return std::nullopt;
    std::size_t cut = tail[0] == '.' ? 3 : (name[name.size() - 4] == '.' ? 4 : 0);
    if (cut == 0 || cut == name.size())
        return std::nullopt;
    return name.substr(0, name.size() - cut);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view list = input.substr(0, split);
    const std::string_view name = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    const tidyfold::ArchiveList parsed = tidyfold::ArchiveList::Parse(list);
    const std::optional<std::string_view> base = parsed.BaseName(name);
    const std::optional<std::string_view> expected = Reference(list, name);
    FUZZ_CHECK(base.has_value() == expected.has_value(), "archive or not: differs from the rules");
    if (base) {
        FUZZ_CHECK(*base == *expected, "base name differs from the rules");
        FUZZ_CHECK(base->data() == name.data(), "base name does not point into the file name");
    }
    return 0;
}
