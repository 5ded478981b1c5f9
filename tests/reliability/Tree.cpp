#include "tests/reliability/Tree.h"

#include <unistd.h>

#include <random>
#include <stdexcept>
#include <vector>

#include "tests/support/TempDir.h"

namespace tidyfold::reliability {

namespace {

// Name pieces that have tripped up path handling somewhere: separators of
// other systems, blanks at either end, bytes that are not UTF-8, a line feed.
const char* const kPieces[] = {
    "report",   "a b",       "back\\slash", "\xff\xfe",   "caf\xc3\xa9", "x",  " lead", "trail ",
    "line\nfeed", "\xce\xa9", "tab\t",      "#hash",      "100%",        "'q'", "\"dq\"", "star*",
    "what?",    "..dots",    "-dash",       "Photos",     "\x80\x81",    "[br]", "semi;colon", "C:\\Trash",
};
const char* const kExtensions[] = {".txt", ".doc", ".zip", "", ".tar.gz", ".7z", ".JPG", "."};

class Namer {
public:
    explicit Namer(std::mt19937_64& rng) : rng_(rng) {}

    std::string Next(bool withExtension) {
        std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
        std::uniform_int_distribution<int> count(1, 3);
        std::string name = (rng_() % 9 == 0) ? "." : "";
        for (int i = count(rng_); i > 0; --i)
            name += kPieces[piece(rng_)];
        // A running number keeps every name unique within the tree.
        name += "-" + std::to_string(++serial_);
        if (withExtension)
            name += kExtensions[rng_() % std::size(kExtensions)];
        return name;
    }

private:
    std::mt19937_64& rng_;
    int serial_ = 0;
};

std::string RandomBytes(std::mt19937_64& rng, std::size_t size) {
    std::string bytes(size, '\0');
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word = rng();
        for (int b = 0; b < 8; ++b)
            bytes[i + b] = static_cast<char>(word >> (8 * b));
    }
    for (; i < size; ++i)
        bytes[i] = static_cast<char>(rng());
    return bytes;
}

struct Folder {
    std::string relative;  // "" for the top
    int depth;
};

// Picks a folder for the next file, sometimes a new one below an existing one.
const Folder& PickFolder(std::mt19937_64& rng, Namer& namer, std::vector<Folder>& folders, int maxDepth) {
    const Folder& parent = folders[rng() % folders.size()];
    if (parent.depth < maxDepth && rng() % 4 == 0) {
        std::string relative = (parent.relative.empty() ? "" : parent.relative + "/") + namer.Next(false);
        folders.push_back({relative, parent.depth + 1});
        return folders.back();
    }
    return parent;
}

}  // namespace

void BuildTree(const std::string& dir, std::uint64_t seed, const TreeSpec& spec) {
    std::mt19937_64 rng(seed);
    Namer namer(rng);
    std::vector<Folder> folders{{"", 0}};
    folders.reserve(static_cast<std::size_t>(spec.smallFiles + spec.bigFiles + spec.links) + 1);
    auto place = [&](const std::string& name) {
        const Folder& folder = PickFolder(rng, namer, folders, spec.maxDepth);
        return folder.relative.empty() ? name : folder.relative + "/" + name;
    };
    for (int i = 0; i < spec.smallFiles; ++i) {
        std::size_t size = std::uniform_int_distribution<std::size_t>(0, spec.smallMax)(rng);
        if (spec.zeroSized && rng() % 25 == 0)
            size = 0;
        else if (size == 0)
            size = 1;
        test::WriteFile(dir + "/" + place(namer.Next(true)), RandomBytes(rng, size));
    }
    for (int i = 0; i < spec.bigFiles; ++i) {
        std::size_t size = std::uniform_int_distribution<std::size_t>(spec.bigMin, spec.bigMax)(rng);
        test::WriteFile(dir + "/" + place(namer.Next(true)), RandomBytes(rng, size));
    }
    for (int i = 0; i < spec.links; ++i) {
        // Relative targets, dangling or not: the pass must carry the link
        // itself, never what it points at.
        std::string target = (i % 2 == 0) ? "../" + namer.Next(true) : "nowhere/" + namer.Next(true);
        std::string path = dir + "/" + place(namer.Next(true));
        test::MakeDirs(path.substr(0, path.rfind('/')));
        if (symlink(target.c_str(), path.c_str()) != 0)
            throw std::runtime_error("BuildTree: symlink " + path);
    }
}

}  // namespace tidyfold::reliability
