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
};

// Every original's data is intact at its Desktop path or at its path in one
// of the offload trees (unless it may vanish); every file or link under a
// final name in those trees has the data of the original of the same path; a
// temporary name appears only in an offload tree. Returns one line per
// violation.
std::vector<std::string> CheckNothingLost(const LossCheck& check);

}  // namespace tidyfold::reliability
