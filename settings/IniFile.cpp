#include "settings/IniFile.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <new>
#include <string_view>

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include "base/Error.h"

namespace tidyfold::ini {

namespace {

// Case-insensitive names, one value per key, no "<<<" multi-line values (a
// value that happens to start with "<<<" must not swallow the lines below it),
// and "key=value" without blanks, as the profile functions write it.
enum class MultiKey { No, Yes };

void Configure(CSimpleIniA& ini, MultiKey multiKey) {
    ini.SetUnicode(false);
    ini.SetMultiKey(multiKey == MultiKey::Yes);
    ini.SetMultiLine(false);
    ini.SetSpaces(false);
    ini.SetQuotes(false);
    ini.SetAllowKeyOnly(false);
}

void Load(CSimpleIniA& ini, const std::string& text, MultiKey multiKey = MultiKey::No) {
    Configure(ini, multiKey);
    const SI_Error rc = ini.LoadData(text.data(), text.size());
    if (rc == SI_NOMEM)
        throw std::bad_alloc();
    if (rc < 0)
        throw Error::Refused("The settings text cannot be read.", {}, EILSEQ);
}

bool IsCommentStart(char c) { return c == ';' || c == '#'; }

std::string_view TrimmedLeft(std::string_view line) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    return line;
}

// A line the parser keeps as a section or an entry.
bool IsSectionOrEntry(std::string_view line) {
    line = TrimmedLeft(line);
    if (!line.empty() && line.front() == '[')
        return line.find(']') != std::string_view::npos;
    const auto equals = line.find('=');
    return equals != std::string_view::npos && equals > 0;
}

// Lines as the parser sees them: a CR alone ends one too, so "; x\r[Keep]"
// is a comment and a section, not one comment line.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find_first_of("\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        text.remove_prefix(end + (crlf ? 2 : 1));
    }
    return lines;
}

// The comment lines after the last section or entry. The parser attaches a
// comment to what follows it, so these would vanish from a saved file; the
// comment block at the very top of the file is the exception it keeps.
std::vector<std::string_view> TrailingComments(const std::string& text) {
    std::string_view body(text.data(), std::min(text.find('\0'), text.size()));
    if (body.substr(0, 3) == "\xEF\xBB\xBF")
        body.remove_prefix(3);
    const std::vector<std::string_view> lines = Lines(body);
    std::size_t first = 0;
    while (first < lines.size() && !lines[first].empty() && IsCommentStart(lines[first].front()))
        ++first;
    std::vector<std::string_view> trailing;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const std::string_view line = TrimmedLeft(lines[i]);
        if (IsSectionOrEntry(line))
            trailing.clear();
        else if (!line.empty() && IsCommentStart(line.front()))
            trailing.push_back(lines[i]);
    }
    return trailing;
}

// The writer puts two blank lines between sections; one is enough.
std::string WithSingleBlankLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n' && out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n')
            continue;
        out += c;
    }
    return out;
}

bool CanBeWritten(const std::string& value) {
    return value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// A line break inside a value would split it into a second line and change
// what the file says; refuse it before anything is written.
void CheckWritable(const std::vector<Entry>& entries) {
    for (const Entry& entry : entries) {
        if (!CanBeWritten(entry.key) || !CanBeWritten(entry.value))
            throw Error::Refused("A setting cannot hold a line break or a NUL character.");
    }
}

void Set(CSimpleIniA& ini, const std::string& section, const std::vector<Entry>& entries) {
    for (const Entry& entry : entries) {
        const SI_Error rc = ini.SetValue(section.c_str(), entry.key.c_str(), entry.value.c_str());
        if (rc == SI_NOMEM)
            throw std::bad_alloc();
    }
}

std::string Composed(CSimpleIniA& ini, const std::string& text);

}  // namespace

std::optional<std::string> ReadValue(const std::string& text, const std::string& section,
                                     const std::string& key) {
    CSimpleIniA ini;
    Load(ini, text);
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

std::string WriteValues(const std::string& text, const std::string& section,
                        const std::vector<Entry>& entries) {
    CheckWritable(entries);
    CSimpleIniA ini;
    Load(ini, text);
    Set(ini, section, entries);
    return Composed(ini, text);
}

std::optional<std::vector<Entry>> ReadSectionEntries(const std::string& text, const std::string& section) {
    CSimpleIniA ini;
    // Two entries under one key are two values here, not one replacing the
    // other: a person adding a line must never see an earlier one vanish.
    Load(ini, text, MultiKey::Yes);
    if (ini.GetSectionSize(section.c_str()) < 0)
        return std::nullopt;
    CSimpleIniA::TNamesDepend keys;
    ini.GetAllKeys(section.c_str(), keys);
    struct Found {
        int order;
        Entry entry;
    };
    std::vector<Found> found;
    for (const auto& key : keys) {
        CSimpleIniA::TNamesDepend ofKey;
        ini.GetAllValues(section.c_str(), key.pItem, ofKey);
        for (const auto& value : ofKey)
            found.push_back({value.nOrder, {key.pItem, value.pItem}});
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.order < b.order; });
    std::vector<Entry> entries;
    entries.reserve(found.size());
    for (Found& one : found)
        entries.push_back(std::move(one.entry));
    return entries;
}

std::string ReplaceSection(const std::string& text, const std::string& section,
                           const std::optional<std::vector<Entry>>& entries) {
    if (entries)
        CheckWritable(*entries);
    CSimpleIniA ini;
    Load(ini, text);
    if (!entries) {
        ini.Delete(section.c_str(), nullptr);
        return Composed(ini, text);
    }
    CSimpleIniA::TNamesDepend keys;
    ini.GetAllKeys(section.c_str(), keys);
    for (const auto& key : keys)
        ini.Delete(section.c_str(), key.pItem, false);  // the section itself stays in its place
    if (ini.SetValue(section.c_str(), nullptr, nullptr) == SI_NOMEM)
        throw std::bad_alloc();
    Set(ini, section, *entries);
    return Composed(ini, text);
}

namespace {

std::string Composed(CSimpleIniA& ini, const std::string& text) {
    std::string out;
    // The signature is written back only when the file had one.
    if (ini.Save(out, true) < 0)
        throw Error::Refused("The settings text cannot be composed.", {}, EIO);
    out = WithSingleBlankLines(out);
    const std::vector<std::string_view> trailing = TrailingComments(text);
    if (!trailing.empty())
        out += '\n';
    for (std::string_view line : trailing)
        (out += line) += '\n';
    return out;
}

}  // namespace

}  // namespace tidyfold::ini
