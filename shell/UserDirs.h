#pragma once

// The freedesktop user-dirs file ($XDG_CONFIG_HOME/user-dirs.dirs): lines
// such as XDG_DESKTOP_DIR="$HOME/Desktop".

#include <optional>
#include <string>

namespace tidyfold {

// The folder that text assigns to name (for example "XDG_DESKTOP_DIR"), with
// "$HOME" at its start replaced by home and without a trailing "/"; nothing
// when the name is not assigned or its value is neither absolute nor
// "$HOME"-relative. The last assignment counts, as when the shell reads it.
std::optional<std::string> ParseUserDir(const std::string& text, const std::string& name,
                                        const std::string& home);

// $XDG_CONFIG_HOME when it is an absolute path, else home + "/.config".
std::string ConfigHome(const std::string& home);
// $XDG_DATA_HOME when it is an absolute path, else home + "/.local/share".
std::string DataHome(const std::string& home);
// The first absolute entry of $XDG_CONFIG_DIRS, else "/etc/xdg".
std::string SystemConfigDir();

// The user-dirs entry name, read afresh from the user's file; nothing when
// the file (or a folder above it) is missing or does not assign it. A file
// that is there but cannot be read throws (tidyfold::Error).
std::optional<std::string> LookupUserDir(const std::string& name, const std::string& home);

}  // namespace tidyfold
