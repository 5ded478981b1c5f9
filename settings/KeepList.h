#pragma once

// Files to keep: what a person leaves on the Desktop on purpose, which no
// pass may offload, send to the Trash or delete. The patterns follow the
// convention of ignore files:
//  - a pattern without "/" matches a name at any depth ("*.desktop", ".*");
//  - a pattern with "/" matches the path below the Desktop ("Notes/*.txt");
//    a leading "/" only ties it to the Desktop itself ("/todo.txt");
//  - a "/" at the end matches folders only, and everything in them
//    ("Projects/" keeps every folder named Projects at any depth);
//  - "**" as a whole part of a path matches any number of folders
//    ("**/build", "Photos/**/*.raw"); "a/**" keeps everything inside a;
//  - within a name, the wildcards of GlobMatch ("*", "?", "[...]", "\").
// A folder that matches is kept with everything below it. "!" and "#" mean
// nothing special: a pattern is never a comment, and nothing un-keeps.

#include <string>
#include <string_view>
#include <vector>

namespace tidyfold {

// What an entry below the Desktop is, as far as the patterns care.
enum class KeepKind {
    File,    // a file, a link (even to a folder) or anything else that is no real folder
    Folder,  // a real folder
};

class KeepList {
public:
    KeepList() = default;
    explicit KeepList(const std::vector<std::string>& patterns);

    // True when the entry at relPath (its path below the Desktop, parts
    // separated by "/", without a leading "/") is kept, because it matches a
    // pattern itself or lies in a folder that does.
    bool Keeps(std::string_view relPath, KeepKind kind) const;
    // True when the entry at relPath matches a pattern itself, whatever the
    // folders above it. For a walk that never enters a kept folder: it asks
    // once per entry instead of once per entry and folder above it.
    bool Matches(std::string_view relPath, KeepKind kind) const;

private:
    struct Rule {
        std::vector<std::string> parts;  // one part for a name pattern
        bool anchored = false;           // matches the whole path, not a name
        bool foldersOnly = false;
    };
    static bool RuleMatches(const Rule& rule, const std::vector<std::string_view>& path, std::size_t length,
                            bool isFolder);

    std::vector<Rule> rules_;
    bool anyAnchored_ = false;  // when none is, a name is all a match needs
};

// The list when the settings file holds none: launchers, and hidden files and
// folders (a file manager's ".directory" and the like).
std::vector<std::string> DefaultKeepPatterns();

}  // namespace tidyfold
