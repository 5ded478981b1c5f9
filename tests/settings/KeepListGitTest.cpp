// The keep list against git itself: each list is written as the .gitignore
// of a tree made on disk, and `git check-ignore --no-index` says which of its
// entries git would ignore, which is what the list must keep.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "settings/KeepList.h"
#include "tests/support/TempDir.h"

namespace tidyfold {
namespace {

struct Case {
    std::vector<std::string> lines;
    // Entries of the tree, "/" at the end for a folder; the folders above
    // each are made too and asked about as well.
    std::vector<std::string> entries;
};

// Every entry and every folder above one, as git is asked about them; a
// folder with a "/" at the end.
std::set<std::string> Paths(const Case& c) {
    std::set<std::string> paths;
    for (const std::string& entry : c.entries) {
        for (std::size_t slash = entry.find('/'); slash != std::string::npos; slash = entry.find('/', slash + 1))
            paths.insert(entry.substr(0, slash + 1));
        paths.insert(entry);
    }
    return paths;
}

std::string WithoutSlash(const std::string& path) {
    return path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

// The paths of the tree at root that git ignores. NUL-separated both ways,
// so that no name is quoted or cut at its blanks.
std::set<std::string> IgnoredByGit(const std::string& root, const std::set<std::string>& paths) {
    std::string input;
    for (const std::string& path : paths)
        (input += WithoutSlash(path)) += '\0';
    test::WriteFile(root + "/../asked", input);
    // No configuration of this machine's or this user's may take part.
    const std::string command = "cd '" + root +
                                "' && GIT_CONFIG_NOSYSTEM=1 GIT_CONFIG_GLOBAL=/dev/null git -c core.excludesFile= "
                                "check-ignore --no-index --stdin -z < ../asked";
    std::FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::string output;
    if (pipe != nullptr) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        const int status = pclose(pipe);
        // 0: some are ignored, 1: none is; anything else is git failing.
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << command;
    }
    std::set<std::string> ignored;
    for (std::size_t start = 0, end; (end = output.find('\0', start)) != std::string::npos; start = end + 1)
        ignored.insert(output.substr(start, end - start));
    return ignored;
}

TEST(KeepListAgainstGit, KeepsWhatGitIgnores) {
    ASSERT_EQ(std::system("git --version > /dev/null 2>&1"), 0) << "git is needed (scripts/deps.sh installs it)";
    const std::vector<Case> cases = {
        // Names at any depth; folders only with a "/" at the end.
        {{"*.desktop"}, {"a.desktop", "Apps/b.desktop", "a.desktop.bak"}},
        {{".*"}, {".hidden", "Work/.git/", "Work/notes.txt"}},
        {{"Projects/"}, {"Projects/", "Old/Projects/src/main.c", "Other/Projects"}},
        {{"build"}, {"build/", "src/build", "rebuild"}},
        // Paths from the top: a leading "/", a "/" in the middle.
        {{"/todo.txt"}, {"todo.txt", "Work/todo.txt"}},
        {{"Notes/*.txt"}, {"Notes/a.txt", "Old/Notes/a.txt", "Notes/deeper/a.txt"}},
        {{"/Projects/"}, {"Projects/x", "Old/Projects/x"}},
        {{"a/b/"}, {"a/b/c", "x/a/b/", "y/a/b"}},
        {{"a\\/b"}, {"a/b", "ab"}},
        // "**" at the start, in the middle, at the end, and inside a name.
        {{"**/build"}, {"build/", "a/b/build", "a/rebuild"}},
        {{"**/logs/*.log"}, {"logs/x.log", "a/logs/y.log", "a/logs/deep/z.log"}},
        {{"Photos/**/*.raw"}, {"Photos/x.raw", "Photos/2024/May/x.raw", "Other/x.raw"}},
        {{"Photos/**"}, {"Photos/", "Photos/a/b", "Other/Photos/a"}},
        {{"a/**/b"}, {"a/b", "a/x/b", "a/x/y/b", "x/a/b"}},
        {{"a**b"}, {"aXb", "a/b", "ab"}},
        {{"**"}, {"anything", "deep/er"}},
        {{"/**/x"}, {"x", "a/x"}},
        // Wildcards and classes within a name.
        {{"?.txt"}, {"a.txt", "ab.txt", ".txt"}},
        {{"[abc].md"}, {"a.md", "d.md"}},
        {{"[!abc].md"}, {"a.md", "d.md"}},
        {{"[^abc].md"}, {"a.md", "d.md"}},
        {{"[a-c]x"}, {"bx", "dx"}},
        {{"[[:digit:]]*"}, {"7up", "up7"}},
        {{"[[:upper:]][[:lower:]]"}, {"Ab", "AB", "ab"}},
        {{"[]]x"}, {"]x", "ax"}},
        {{"[a-]y"}, {"-y", "ay", "by"}},
        {{"*[[:space:]]*"}, {"a b", "ab"}},
        // Negation: the last line that matches decides, but what lies in a
        // kept folder stays kept.
        {{"*.txt", "!keep.txt"}, {"a.txt", "keep.txt", "sub/keep.txt"}},
        {{"!keep.txt", "*.txt"}, {"keep.txt"}},
        {{"Work/", "!Work/a.txt"}, {"Work/a.txt", "Work/b.txt"}},
        {{"Work/*", "!Work/a.txt"}, {"Work/a.txt", "Work/b.txt"}},
        {{"*", "!*/", "!*.pdf"}, {"a.pdf", "b.txt", "Docs/c.pdf", "Docs/d.txt"}},
        {{"/*", "!/Keep/"}, {"Keep/", "Keep/x", "Other/y", "top.txt"}},
        {{"*.log", "!important.log", "important.log"}, {"important.log", "other.log"}},
        {{"!"}, {"!"}},
        // Escapes, comments and blank lines.
        {{"\\!important"}, {"!important", "important"}},
        {{"\\#hash"}, {"#hash", "hash"}},
        {{"#hash"}, {"#hash"}},
        {{"", "# a comment", "x.txt"}, {"x.txt", "# a comment"}},
        {{"\\*"}, {"*", "a"}},
        {{"a\\?"}, {"a?", "ab"}},
        // Blanks: at the start they count, at the end only when escaped.
        {{" lead.txt"}, {" lead.txt", "lead.txt"}},
        {{"trail.txt   "}, {"trail.txt", "trail.txt "}},
        {{"esc.txt\\ "}, {"esc.txt ", "esc.txt"}},
        {{"two\\  "}, {"two ", "two  ", "two"}},
        {{"   "}, {"   ", "a"}},
        {{"tab\t"}, {"tab\t", "tab"}},
        {{"mid dle.txt"}, {"mid dle.txt"}},
        // Percent signs and quotes mean nothing special.
        {{"%41.txt"}, {"%41.txt", "A.txt"}},
        {{"\"q\""}, {"\"q\"", "q"}},
        // A "\" at the very end matches nothing.
        {{"back\\"}, {"back\\", "back"}},
    };
    // One repository; each list is the .gitignore of a folder of its own,
    // which is to git what the Desktop is to the list.
    test::TempDir dir;
    ASSERT_EQ(std::system(("git init -q '" + dir.Path() + "'").c_str()), 0);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(::testing::PrintToString(c.lines));
        const std::string root = dir / std::to_string(i) + "/tree";
        std::string gitignore;
        for (const std::string& line : c.lines)
            gitignore += line + "\n";
        test::WriteFile(root + "/.gitignore", gitignore);
        const std::set<std::string> paths = Paths(c);
        for (const std::string& path : paths) {
            if (path.back() == '/')
                test::MakeDirs(root + "/" + path);
            else
                test::WriteFile(root + "/" + path, "x");
        }
        const std::set<std::string> ignored = IgnoredByGit(root, paths);
        const KeepList list(c.lines);
        for (const std::string& path : paths) {
            const std::string relative = WithoutSlash(path);
            const KeepKind kind = path.back() == '/' ? KeepKind::Folder : KeepKind::File;
            EXPECT_EQ(list.Keeps(relative, kind), ignored.count(relative) == 1) << "'" << relative << "'";
        }
    }
}

}  // namespace
}  // namespace tidyfold
