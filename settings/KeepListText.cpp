#include "settings/KeepListText.h"

#include <cstddef>
#include <string_view>

#include "settings/IniFile.h"

namespace tidyfold {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7f;
}

bool EdgeBlank(std::string_view text) { return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back())); }

// A value in the quotes of the writer: a blank just inside them, or a line
// inside that is itself such a value. Anything else in quotes is a line
// that happens to have them.
bool Quoted(std::string_view value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return false;
    const std::string_view inside = value.substr(1, value.size() - 2);
    return EdgeBlank(inside) || Quoted(inside);
}

// The key of the escaped form, which every line had before the quotes:
// "Pattern" and a number, in any letter case.
bool IsEscapedKey(std::string_view key) {
    constexpr std::string_view kPrefix = "pattern";
    if (key.size() <= kPrefix.size())
        return false;
    for (std::size_t i = 0; i < kPrefix.size(); ++i)
        if ((key[i] | 0x20) != kPrefix[i])
            return false;
    for (std::size_t i = kPrefix.size(); i < key.size(); ++i)
        if (key[i] < '0' || key[i] > '9')
            return false;
    return true;
}

bool NeedsEscape(const std::string& value, std::size_t i) {
    const char c = value[i];
    if (IsControl(c) || c == '\t' || c == '%')
        return true;
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
    return -1;
}

// Exactly the escapes the writer makes, nothing else that looks like one.
std::string Unescaped(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            const int high = HexDigit(value[i + 1]);
            const int low = HexDigit(value[i + 2]);
            const int byte = high * 16 + low;
            const bool edge = i == 0 || i + 3 == value.size();
            if (high >= 0 && low >= 0 &&
                (byte < 0x20 || byte == 0x7f || byte == '%' || (byte == ' ' && edge))) {
                out += static_cast<char>(byte);
                i += 2;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

ini::Entry Stored(const std::string& line, std::size_t number) {
    const std::string n = std::to_string(number);
    for (const char c : line)
        if (IsControl(c))
            return {"Pattern" + n, Escaped(line)};
    if (EdgeBlank(line) || Quoted(line))
        return {"Line" + n, '"' + line + '"'};
    return {"Line" + n, line};
}

std::string Line(const ini::Entry& entry) {
    if (IsEscapedKey(entry.key))
        return Unescaped(entry.value);
    if (Quoted(entry.value))
        return entry.value.substr(1, entry.value.size() - 2);
    return entry.value;
}

}  // namespace

std::optional<std::vector<std::string>> ReadKeepPatterns(const std::string& text) {
    const std::optional<std::vector<ini::Entry>> entries = ini::ReadSectionEntries(text, kKeepSection);
    if (!entries)
        return std::nullopt;
    std::vector<std::string> lines;
    lines.reserve(entries->size());
    for (const ini::Entry& entry : *entries)
        lines.push_back(Line(entry));
    return lines;
}

std::string WriteKeepPatterns(const std::string& text, const std::optional<std::vector<std::string>>& patterns) {
    if (!patterns)
        return ini::ReplaceSection(text, kKeepSection, std::nullopt);
    std::vector<ini::Entry> entries;
    entries.reserve(patterns->size());
    for (std::size_t i = 0; i < patterns->size(); ++i)
        entries.push_back(Stored((*patterns)[i], i + 1));
    return ini::ReplaceSection(text, kKeepSection, entries);
}

}  // namespace tidyfold
