#pragma once

#include <sys/stat.h>

#include <string>

#include "fs/FileSystem.h"
#include "fs/FreeName.h"
#include "fs/Temp.h"
#include "fs/Transfer.h"

namespace tidyfold::fs {

// Copies the entry seen of the folder fromfd into temp, a new entry for
// finalName in the folder todir (see CopyEntry): a regular file gets its
// data, permission bits and times and is flushed; a link becomes a link.
// EISDIR for a folder, EINVAL for other kinds and when finalName already is
// the source itself. temp is left for the caller to put in place or drop.
Outcome CopyToTempAt(int fromfd, const Entry& seen, int todir, const std::string& finalName, TempEntry& temp,
                     const CopyProgress& progress, const volatile int* cancel, Entry* read);

// Puts oldName at newName unless newName exists (EEXIST): a rename that
// never replaces; where the file system has none (FUSE, FAT, exFAT, NTFS), a
// hard link and unlink; where it has no hard links either (exFAT, FAT), a
// rename over an empty file that claimed newName exclusively, once the name
// is checked to lead to that claim still. A kill between the claim and the
// rename leaves the claim (empty, mode 0600) beside the complete temporary
// file. Returns 0 or an errno.
int PlaceNoReplace(int oldDir, const char* oldName, int newDir, const char* newName);

// Puts the temporary entry temp of todir in place under name, or the next
// free name by clash (outcome.placed), and flushes the folder.
Outcome PlaceAtFreeName(int todir, TempEntry& temp, const std::string& name, Clash clash = Clash::NextFreeName,
                        EntryKind kind = EntryKind::File);

// A failure errnum of making or naming the entry name (of kind) in todir,
// with the drive's reason when it refused the entry itself.
Outcome RefusedAt(int todir, const std::string& name, EntryKind kind, int errnum);

// See RemoveCopiedSource.
Outcome RemoveCopiedSourceAt(int dirfd, const Entry& read, int copyDir, const std::string& copyName);

// See RemoveIfUnchanged.
Outcome RemoveIfUnchangedAt(int dirfd, const Entry& read);

// The entry name of dirfd as seen now, for the path-based calls; 0 or an errno.
int SeeEntryAt(int dirfd, const std::string& name, Entry& seen);

// Runs a transfer call so that it never throws: the file layer's own errors
// become their errno, anything else escaping (a progress routine) cancels.
template <typename Body>
int ReturningErrno(Body&& body) noexcept;
template <typename Body>
Outcome ReturningOutcome(Body&& body) noexcept;

}  // namespace tidyfold::fs

#include <new>

#include "base/Error.h"

template <typename Body>
int tidyfold::fs::ReturningErrno(Body&& body) noexcept {
    try {
        return body();
    } catch (const Error& error) {
        return error.Number();
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (...) {
        return ECANCELED;
    }
}

template <typename Body>
tidyfold::fs::Outcome tidyfold::fs::ReturningOutcome(Body&& body) noexcept {
    try {
        return body();
    } catch (const Error& error) {
        return Outcome{error.Number()};
    } catch (const std::bad_alloc&) {
        return Outcome{ENOMEM};
    } catch (...) {
        return Outcome{ECANCELED};
    }
}
