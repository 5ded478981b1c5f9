#pragma once

// Whether a folder lying beside an archive is an unpacked copy of it, and so
// may be removed without losing anything. A name alone proves nothing: the
// folder goes only when every regular file below it is a byte-identical copy
// of the archive's file at the same relative path, either at the archive's
// root or, when every entry of the archive lies under one top folder named
// like the folder, under that top folder. Files of the archive that the
// folder lacks and empty sub-folders do not matter; a symbolic link in the
// folder counts only when the archive holds the same link with the same
// text. Anything else keeps the folder: a file the archive lacks or holds
// otherwise, a FIFO, socket or device, a sub-folder on another file system,
// an encrypted entry, an archive or a folder that cannot be read, a stop.
//
// The cost is linear in what must be read: one pass over the archive's
// listing into a map, one walk of the folder (each folder listed once), one
// pass over the archive's data for the files whose sizes matched, compared
// with the files in chunks, never a whole file in memory. It yields through
// the engine's yield hook every few MiB and every few hundred entries.

#include <cstdint>
#include <functional>
#include <string>

#include "fs/OpenFolder.h"

namespace tidyfold {

// Why a folder was kept; Nothing when it may go.
enum class UnpackedKeep {
    Nothing,
    NotInArchive,    // the file is not in the archive
    NotAFile,        // the archive holds something else at its path (a folder, a link, a hard link)
    OtherSize,       // the archive's file has another size
    OtherContent,    // same size, other bytes
    Encrypted,       // the archive's file is encrypted: it cannot be compared
    OtherLink,       // a link the archive lacks, or holds with another text
    NotComparable,   // a FIFO, socket or device, or a folder on another file system
    Changed,         // the file or the archive changed while it was compared
    Unreadable,      // the archive or the folder could not be read (detail says why)
    Stopped,         // the user stopped the check
};

struct UnpackedFolderVerdict {
    UnpackedKeep keep = UnpackedKeep::Nothing;
    // The folder's entry that kept it, relative to the folder ("notes/ch2.txt");
    // empty when no one entry is at fault (an unreadable archive, a stop).
    std::string file;
    // The error's text for Unreadable, else empty.
    std::string detail;

    bool Remove() const { return keep == UnpackedKeep::Nothing; }
    // For the log: "notes/ch2.txt is not in the archive", "the archive
    // cannot be read: ...", "the check was stopped".
    std::string Reason() const;
};

// Compares the folder folderName with the archive archiveName, both directly
// in the open folder desktop and both opened relative to it without following
// a link (an archive that is a link is refused, a folder that is one is never
// entered). stopAsked, asked after any of the check's yields, stops it and
// keeps the folder when it says so: pass the engine's StopAsked. Reads only; removes
// nothing. Errors of the file layer become a verdict of Unreadable; only a
// lack of memory escapes.
UnpackedFolderVerdict CheckUnpackedFolder(const fs::OpenFolder& desktop, const std::string& archiveName,
                                          const std::string& folderName, const std::function<bool()>& stopAsked);

// Where the folder folderName lies in the archive archiveName (both in
// desktop), as the check compares them: "<folderName>/" when every entry
// lies under one top folder of that name, else "" (at the archive's root).
// Reads the archive's listing without yielding. Throws tidyfold::Error when
// the archive cannot be read.
std::string UnpackedFolderPrefix(const fs::OpenFolder& desktop, const std::string& archiveName,
                                 const std::string& folderName);

}  // namespace tidyfold
