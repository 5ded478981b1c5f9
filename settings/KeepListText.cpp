#include "settings/KeepListText.h"

#include <cstddef>

#include "settings/IniFile.h"

namespace tidyfold {

namespace {

bool NeedsEscape(const std::string& value, std::size_t i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (c < 0x20 || c == 0x7f || c == '%')
        return true;
    // The reader takes blanks at either end of a value for layout.
    return c == ' ' && (i == 0 || i + 1 == value.size());
}

std::string Escaped(const std::string& value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (!NeedsEscape(value, i)) {
            out += value[i];
            continue;
        }
        const auto c = static_cast<unsigned char>(value[i]);
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 0xf];
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string Unescaped(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            const int high = HexDigit(value[i + 1]);
            const int low = HexDigit(value[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

}  // namespace

std::optional<std::vector<std::string>> ReadKeepPatterns(const std::string& text) {
    std::optional<std::vector<std::string>> values = ini::ReadSectionValues(text, kKeepSection);
    if (values)
        for (std::string& value : *values)
            value = Unescaped(value);
    return values;
}

std::string WriteKeepPatterns(const std::string& text, const std::optional<std::vector<std::string>>& patterns) {
    if (!patterns)
        return ini::ReplaceSection(text, kKeepSection, std::nullopt);
    std::vector<ini::Entry> entries;
    entries.reserve(patterns->size());
    for (std::size_t i = 0; i < patterns->size(); ++i)
        entries.push_back({"Pattern" + std::to_string(i + 1), Escaped((*patterns)[i])});
    return ini::ReplaceSection(text, kKeepSection, entries);
}

}  // namespace tidyfold
