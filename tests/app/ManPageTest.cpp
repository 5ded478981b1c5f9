// The man page against the program: the options --help lists and the ones
// the page describes are the same, each entry begins with the words of
// --help, the synopsis names every option, and man finds nothing to warn of.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/ProgramRun.h"
#include "tests/support/TempDir.h"

namespace tidyfold::test {
namespace {

// Runs of blanks and line breaks as one blank, none at either end.
std::string Words(const std::string& text) {
    std::string out;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

// roff's escapes the page uses in running text, as they print.
std::string Plain(std::string text) {
    for (std::size_t at; (at = text.find("\\-")) != std::string::npos;)
        text.replace(at, 2, "-");
    for (std::size_t at; (at = text.find("\\&")) != std::string::npos;)
        text.erase(at, 2);
    return text;
}

// Option names ("-h", "--help") to the description that follows them.
using Described = std::map<std::string, std::string>;

// "  -h, --help        Show this help and end." and its indented
// continuation lines, below "Options:".
Described FromHelp(const std::string& help) {
    Described options;
    std::vector<std::string> names;
    std::istringstream in(help.substr(help.find("\nOptions:\n") + 10));
    for (std::string line; std::getline(in, line);) {
        const std::size_t text = line.find("  ", 2);
        if (line.rfind("  -", 0) == 0 && text != std::string::npos) {
            names.clear();
            std::istringstream list(line.substr(0, text));
            for (std::string name; std::getline(list >> std::ws, name, ',');)
                names.push_back(name);
        }
        for (const std::string& name : names)
            options[name] += " " + line.substr(text == std::string::npos ? 0 : text);
    }
    for (auto& [name, description] : options)
        description = Words(description);
    return options;
}

// The entries of OPTIONS: ".TP", a line of names (".BR \-h , \-\-help" or
// ".B \-\-clean"), then text; what --help says must be its first words.
Described FromManPage(const std::string& page, std::string& synopsis) {
    Described options;
    std::istringstream in(page);
    std::string section;
    std::vector<std::string> names;
    bool tag = false, text = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(".SH ", 0) == 0) {
            section = line.substr(4);
            names.clear();
            continue;
        }
        if (section == "SYNOPSIS")
            synopsis += Plain(line) + " ";
        if (section != "OPTIONS")
            continue;
        if (line == ".TP") {
            tag = true;
            continue;
        }
        if (tag) {
            tag = false;
            text = true;
            names.clear();
            std::istringstream parts(Plain(line.substr(line.find(' ') + 1)));
            for (std::string part; parts >> part;)
                if (part.front() == '-')
                    names.push_back(part);
            continue;
        }
        // The words of --help come first, before any macro.
        if (line.front() == '.')
            text = false;
        if (text)
            for (const std::string& name : names)
                options[name] += " " + Plain(line);
    }
    for (auto& [name, description] : options)
        description = Words(description);
    return options;
}

TEST(ManPage, DescribesTheOptionsOfHelpInItsWordsAndGivesNoWarning) {
    RunOptions options;
    options.environment = {"PATH=/usr/bin:/bin", "HOME=/nonexistent"};
    const Ran help = RunProgram(TIDYFOLD_PROGRAM, {"--help"}, options);
    ASSERT_EQ(help.status, 0) << help.err;
    const Described fromHelp = FromHelp(help.out);
    ASSERT_GE(fromHelp.size(), 7u) << help.out;

    const std::string page = ReadFile(TIDYFOLD_MAN_PAGE);
    std::string synopsis;
    const Described fromPage = FromManPage(page, synopsis);
    for (const auto& [name, description] : fromHelp) {
        SCOPED_TRACE(name);
        const auto entry = fromPage.find(name);
        ASSERT_NE(entry, fromPage.end()) << "not in the man page's OPTIONS";
        EXPECT_EQ(entry->second.substr(0, description.size()), description);
        EXPECT_NE(synopsis.find(name), std::string::npos) << synopsis;
    }
    for (const auto& [name, description] : fromPage)
        EXPECT_EQ(fromHelp.count(name), 1u) << name << " is in the man page but not in --help";

    // As lintian reads a page: every warning of groff counts.
    const std::string command = "LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z '" +
                                std::string(TIDYFOLD_MAN_PAGE) + "' 2>&1 >/dev/null";
    std::FILE* man = popen(command.c_str(), "r");
    ASSERT_NE(man, nullptr);
    std::string warnings;
    char buffer[1024];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, man)) > 0;)
        warnings.append(buffer, got);
    EXPECT_EQ(pclose(man), 0) << "man is needed (scripts/deps.sh installs it)";
    EXPECT_EQ(warnings, "");
}

}  // namespace
}  // namespace tidyfold::test
