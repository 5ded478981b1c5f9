#pragma once

// The Desktop and the offload folder of a recorded pass, held open, and the
// entries of its actions found again below them one name at a time, never
// through a link.

#include <optional>
#include <string>

#include "engine/FolderChain.h"
#include "fs/OpenFolder.h"
#include "history/Records.h"

namespace tidyfold::history {

enum class Side { Desktop, Offload };

// Where an action's entry is now: its folder (nothing when the folder is
// gone or is not a real folder any more) and the entry of that name there.
struct Spot {
    const fs::OpenFolder* folder = nullptr;
    std::string name;
    std::optional<fs::Entry> entry;
};

class Roots {
public:
    // Opens both roots as the pass recorded them; a root that is missing is
    // taken as empty. Throws when one cannot be opened for another reason.
    // Makes the checks a pass makes on them (see Refusal).
    explicit Roots(const PassRecord& pass);
    Roots(const Roots&) = delete;
    Roots& operator=(const Roots&) = delete;

    // The entry at relative below the root of side. The folder stays valid
    // until the next call for the same side. Nothing is found for a path
    // that is not SafeRelative.
    Spot Find(Side side, const std::string& relative);
    // The folder that holds relative on side, made where missing (flushed
    // as flush says). Nothing when the root is missing, the path is not
    // SafeRelative, or a name on the way is a link (link then names it).
    const fs::OpenFolder* Make(Side side, const std::string& relative, fs::Flush flush, std::string& link);

    const fs::OpenFolder* Root(Side side) const;
    // Why the folders as they are now are none a pass may work in (the
    // Desktop is "/", home or above it; the offload folder is "/", home, the
    // Desktop or above it, as after a folder was replaced by a link to
    // another): then nothing may be removed, finished or moved in them.
    // Empty when they pass.
    const std::string& Refusal() const noexcept { return refusal_; }
    // The folder at folder below the root of side ("" for the root itself),
    // under the same rules and for as long as Find's.
    const fs::OpenFolder* FolderAt(Side side, const std::string& folder);

private:
    // One root: the folder, the chain of folders open below it, and the
    // folder the last call found (consecutive entries mostly share it).
    struct Tree {
        std::optional<fs::OpenFolder> root;
        std::optional<FolderChain> chain;
        std::string lastFolder;
        const fs::OpenFolder* last = nullptr;
    };
    Tree& TreeOf(Side side) { return side == Side::Desktop ? desktop_ : offload_; }
    // The folder part of relative as last found, or nothing.
    const fs::OpenFolder* Remembered(Tree& tree, const std::string& relative) const;
    const fs::OpenFolder* Remember(Tree& tree, const std::string& relative, const fs::OpenFolder* folder);

    Tree desktop_;
    Tree offload_;
    std::string refusal_;
};

// The last name of a relative path.
std::string LastName(const std::string& relative);
// True when relative is names joined by "/", none empty, "." or "..": what
// the engine records. Anything else (a damaged or hand-made history) could
// reach outside the roots and is never acted on.
bool SafeRelative(const std::string& relative);

}  // namespace tidyfold::history
