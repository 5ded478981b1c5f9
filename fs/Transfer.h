#pragma once

// Transfers between open folders: what a pass does with one file. Sources
// and destinations are names relative to open folders, so no path is ever
// resolved again and no link is ever followed; a source is only acted on
// while it still is the file the caller saw.

#include <functional>
#include <string>
#include <utility>

#include "fs/Drive.h"
#include "fs/FileSystem.h"
#include "fs/FreeName.h"
#include "fs/OpenFolder.h"

namespace tidyfold::fs {

// What one transfer step did.
struct Outcome {
    Outcome() = default;
    explicit Outcome(int error_, bool changed_ = false, bool copied_ = false, std::string placed_ = {})
        : error(error_), changed(changed_), copied(copied_), placed(std::move(placed_)) {}

    int error = 0;         // 0, or the errno of the step that failed
    bool changed = false;  // the source was not what the step was given, or changed while it was read
    bool copied = false;   // a move's copy stayed in place although its source could not be removed
    // The name the file was put under in the destination folder: the name
    // asked for, or the next free one ("name (2).ext") when that was taken.
    std::string placed;
    // Set with error when the destination's drive cannot hold the entry (a
    // name it refuses, a link, a file too large): the reason in facts.
    Unfit unfit;
    bool Ok() const noexcept { return error == 0 && !changed; }
};

// Copies the file or link seen (an entry of from) into to under name, or
// under the next free name ("name (2).ext", "name (3).ext", ...) when it is
// taken: nothing in to is ever replaced. The data goes to a new temporary
// file in to (created exclusively, never through a link), is flushed, then
// put in place inside to by PlaceNoReplace (so the name is claimed without a
// race) and the folder flushed; a link is copied as a link. Permission bits
// and access and write times are kept as far as the drive stores them. When *cancel becomes non-zero the
// copy is abandoned (ECANCELED).
//
// The copy is of seen only: when the name leads to another file, or the file
// changes while it is read (its size or change time moves), nothing is
// placed and changed is set; a read that ends at another length than the
// file had when it was opened fails (EIO). read receives the source as the
// copy found it, for RemoveIfUnchanged. On any failure the temporary file is
// gone and every file in to is as it was. The outcome's placed names the
// name claimed.
Outcome CopyEntry(const OpenFolder& from, const Entry& seen, const OpenFolder& to, const std::string& name,
                  const CopyProgress& progress, const volatile int* cancel, Entry* read);

// Moves seen from from into to under name, or under the next free name as
// CopyEntry does, never replacing anything (placed names the name claimed);
// with Clash::Fail a taken name fails the move (EEXIST) instead.
// The caller has checked that the name still leads to seen. Within a file
// system it is one rename. Across file systems it is a CopyEntry (with
// progress and cancel) put in place the same way, then RemoveIfUnchanged of the
// source: when the source changed after it was read, or keepSource (asked
// just before, when given) says so, the copy stays (copied) and so does the
// source (changed); any other failure leaves the source only.
Outcome MoveEntry(const OpenFolder& from, const Entry& seen, const OpenFolder& to, const std::string& name,
                  const CopyProgress& progress, const volatile int* cancel,
                  const std::function<bool()>& keepSource = nullptr, Clash clash = Clash::NextFreeName);

// Removes read.name from folder only if the name still leads to the same
// file with the same size and change time (changed otherwise): a file saved
// over by rename, or written to, since it was read is kept.
Outcome RemoveIfUnchanged(const OpenFolder& folder, const Entry& read);

// RemoveIfUnchanged of the source read once its copy is in place as
// copyName in copyFolder. Where the source's drive makes up its inode
// numbers or lets its change times be set (FUSE, FAT, exFAT, NTFS), a file
// put in the source's place would pass for it: there the source goes only
// if it still holds the copy's bytes.
Outcome RemoveCopiedSource(const OpenFolder& folder, const Entry& read, const OpenFolder& copyFolder,
                           const std::string& copyName);

}  // namespace tidyfold::fs
