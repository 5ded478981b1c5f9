#pragma once

// Files to keep: what a person leaves on the Desktop on purpose, which no
// pass may offload, send to the Trash or delete. Each line is read as a line
// of a .gitignore file at the top of the Desktop, with git's rules:
//  - a blank line matches nothing; a line starting with "#" is a comment;
//  - blanks at the end are dropped unless escaped ("name\ "); blanks at the
//    start are part of the pattern;
//  - "!" first takes back what an earlier line kept: the last line that
//    matches an entry decides, but what lies in a kept folder stays kept
//    (git never looks inside a folder it ignores either);
//  - "\" takes the next byte as it is ("\#", "\!", "\ ", "\*");
//  - a pattern without "/" matches a name at any depth ("*.desktop", ".*");
//  - a pattern with "/" matches the path below the Desktop ("Notes/*.txt");
//    a leading "/" only ties it to the Desktop itself ("/todo.txt");
//  - a "/" at the end matches folders only, and everything in them
//    ("Projects/" keeps every folder named Projects at any depth);
//  - "**" as a whole part of a path matches any number of folders
//    ("**/build", "Photos/**/*.raw"); "a/**" keeps everything inside a;
//  - within a name, the wildcards of GlobMatch ("*", "?", "[...]").
// A folder that is kept is kept with everything below it. One difference
// from git, on the keeping side: a "[" that is never closed is an ordinary
// byte here, where git's pattern would match nothing.

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
    // patterns are the lines of the list, comments and blank lines included.
    explicit KeepList(const std::vector<std::string>& patterns);

    // True when the entry at relPath (its path below the Desktop, parts
    // separated by "/", without a leading "/") is kept: the last line that
    // matches it keeps it, or it lies in a folder that is kept.
    bool Keeps(std::string_view relPath, KeepKind kind) const;
    // True when the last line that matches the entry itself keeps it,
    // whatever the folders above it. For a walk that never enters a kept
    // folder: it asks once per entry instead of once per entry and folder
    // above it.
    bool Matches(std::string_view relPath, KeepKind kind) const;

private:
    struct Rule {
        std::vector<std::string> parts;  // one part for a name pattern
        bool anchored = false;           // matches the whole path, not a name
        bool foldersOnly = false;
        bool negated = false;            // "!": takes back what an earlier line kept
    };
    // What the last rule that matches the entry itself says of it.
    enum class Verdict { None, Keep, TakeBack };
    static bool RuleMatches(const Rule& rule, const std::vector<std::string_view>& path, std::size_t length,
                            bool isFolder);
    Verdict Judge(const std::vector<std::string_view>& path, std::size_t length, bool isFolder) const;

    std::vector<Rule> rules_;
    bool anyAnchored_ = false;  // when none is, a name is all a match needs
};

// The list when the settings file holds none: launchers, and hidden files and
// folders (a file manager's ".directory" and the like).
std::vector<std::string> DefaultKeepPatterns();

}  // namespace tidyfold
