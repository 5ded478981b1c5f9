#pragma once

// The nothing-lost invariant over snapshots, and the sandbox and snapshot of
// tests/support under the names these suites use.

#include <functional>
#include <string>
#include <vector>

#include "tests/support/Sandbox.h"
#include "tests/support/Snapshot.h"
#include "tests/support/TempDir.h"

namespace tidyfold::reliability {

using test::BaseName;
using test::CopyTree;
using test::DataEntries;
using test::Entry;
using test::HashBytes;
using test::IsTempName;
using test::kFarFuture;
using test::Kind;
using test::MakeTempRoot;
using test::Printable;
using test::SameData;
using test::Sandbox;
using test::Scan;
using test::ScanIfPresent;
using test::Snapshot;
using test::Untouched;

struct LossCheck {
    const Snapshot* originals = nullptr;            // files and links before the run
    const Snapshot* desktop = nullptr;              // the Desktop after the run
    std::vector<const Snapshot*> offloads;          // every place files may have gone
    // An original that may legitimately be gone from everywhere (deleted by
    // design); nullptr: none may.
    std::function<bool(const std::string&)> mayVanish;
    // Files the first offload tree held before the run (earlier passes'
    // output): each must be intact at its path afterwards, never replaced.
    const Snapshot* earlier = nullptr;
};

// The path an offloaded file's numbered name stands for: "a/b (2).txt" gives
// "a/b.txt"; a path without a number gives itself.
std::string UnnumberedPath(const std::string& path);

// The entry of where that holds original's data at path or at one of its
// numbered names (a name taken in the offload folder), or nullptr.
const Entry* FindIntact(const std::string& path, const Entry& original, const Snapshot& where);

// Every original's data is intact at its Desktop path or at its path, or a
// numbered name of it, in one of the offload trees (unless it may vanish);
// every file or link under a final name in those trees has the data of the
// original of the same path (or the path its number stands for), or is an
// earlier file left as it was; a temporary name appears only in an offload
// tree. Returns one line per violation.
std::vector<std::string> CheckNothingLost(const LossCheck& check);

}  // namespace tidyfold::reliability
