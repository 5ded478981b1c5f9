#pragma once

// Making again what a pass removed and nothing of which was lost: an empty
// folder, an empty file, a folder unpacked beside the archive that holds
// it. Each is made relative to an open folder, never through a link, and
// never over anything already there (EEXIST).

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "fs/Archive.h"
#include "fs/OpenFolder.h"

namespace tidyfold::fs {

// Makes the empty folder name in folder, open to its owner for now so that
// what belongs in it can be put back first (FinishFolder gives it its own
// mode). 0, or the errno (EEXIST when anything has the name).
int MakeEmptyFolder(const OpenFolder& folder, const std::string& name);
// Gives the real folder name its permission bits and its access and
// modification times, if name still leads to the folder id (false
// otherwise). Last, since anything made in it moves its times. Throws.
bool FinishFolder(const OpenFolder& folder, const std::string& name, const Identity& id, std::uint32_t mode,
                  const FileTimes& times);
// Makes the empty regular file name in folder, created exclusively, with
// mode and the access and modification times. 0, or the errno (EEXIST when
// anything has the name); a file that could not be given its mode or times
// is removed again.
int MakeEmptyFile(const OpenFolder& folder, const std::string& name, std::uint32_t mode, const FileTimes& times);

// Unpacks the archive archiveName (a regular file in folder, never opened
// through a link) as the folder name beside it: every entry below prefix
// ("" for the whole archive; "Photos/" for one that holds its folder under
// a top folder of that name), at its path below the prefix. Folders,
// regular files (their bytes, permission bits and modification times) and
// symbolic links are made; anything else (hard links, devices, a path that
// climbs out with "..", a path through a link the archive made) is left
// out. The new folder gets mode and times. All of it is made in a
// temporary folder beside name (".<name>.tidyfold-tmp-XXXXXX") that a
// no-replace rename puts in place, so a half-made folder never has the
// name: nothing when name is taken (the temporary folder removed), else the
// identity of the folder made. Throws tidyfold::Error when the archive
// cannot be read or the folder cannot be made; nothing is left then.
std::optional<Identity> UnpackArchive(const OpenFolder& folder, const std::string& archiveName,
                                      const std::string& prefix, const std::string& name, std::uint32_t mode,
                                      const FileTimes& times, ArchiveReader::Pacer pacer = {});

// Removes from folder the temporary folders an unpacking for one of
// finalNames left (killed before its rename), with what they hold. Returns
// how many. Throws on any failure but a folder already gone.
std::size_t RemoveUnpackLeftovers(const OpenFolder& folder, const std::set<std::string>& finalNames);

}  // namespace tidyfold::fs
