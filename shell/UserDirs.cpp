#include "shell/UserDirs.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "shell/HomeFolder.h"

namespace tidyfold {

namespace {

std::string Trimmed(const std::string& s) {
    const auto begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    const auto end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

// The value as the shell sees it: a double-quoted text with backslash escapes,
// or the bare text.
std::string Unquoted(const std::string& value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return value;
    std::string out;
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == '\\' && i + 2 < value.size())
            ++i;
        out += value[i];
    }
    return out;
}

std::optional<std::string> ExpandHome(const std::string& value, const std::string& home) {
    for (const std::string prefix : {"$HOME", "${HOME}"}) {
        if (value.compare(0, prefix.size(), prefix) == 0) {
            const std::string rest = value.substr(prefix.size());
            if (rest.empty() || rest.front() == '/')
                return WithoutTrailingSlash(home + rest);
        }
    }
    if (!value.empty() && value.front() == '/')
        return WithoutTrailingSlash(value);
    return std::nullopt;  // relative paths are not allowed in the file
}

std::string AbsoluteEnvOr(const char* variable, const std::string& fallback) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return WithoutTrailingSlash(value);
    return fallback;
}

}  // namespace

std::optional<std::string> ParseUserDir(const std::string& text, const std::string& name,
                                        const std::string& home) {
    std::optional<std::string> found;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = Trimmed(line);
        if (line.empty() || line.front() == '#')
            continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos || Trimmed(line.substr(0, equals)) != name)
            continue;
        // Each assignment replaces the earlier one, valid or not.
        found = ExpandHome(Unquoted(Trimmed(line.substr(equals + 1))), home);
    }
    return found;
}

std::string ConfigHome(const std::string& home) {
    return AbsoluteEnvOr("XDG_CONFIG_HOME", home + "/.config");
}

std::string DataHome(const std::string& home) {
    return AbsoluteEnvOr("XDG_DATA_HOME", home + "/.local/share");
}

std::string SystemConfigDir() {
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::istringstream entries(dirs != nullptr ? dirs : "");
    std::string entry;
    while (std::getline(entries, entry, ':')) {
        if (!entry.empty() && entry.front() == '/')
            return WithoutTrailingSlash(entry);
    }
    return "/etc/xdg";
}

std::optional<std::string> LookupUserDir(const std::string& name, const std::string& home) {
    std::string text;
    try {
        text = fs::ReadLinkedConfigFile(ConfigHome(home) + "/user-dirs.dirs");
    } catch (const Error& error) {
        // Only a file that is not there means the defaults: one that cannot
        // be read may name another Desktop, and guessing ~/Desktop would
        // clean the wrong folder.
        if (error.Number() == ENOENT || error.Number() == ENOTDIR)
            return std::nullopt;
        throw;
    }
    return ParseUserDir(text, name, home);
}

}  // namespace tidyfold
