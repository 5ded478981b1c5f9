#pragma once

// The desktop's Trash, laid out the way desktop file managers share it (files/
// and info/*.trashinfo), so that a file manager lists a trashed file with its
// original place and puts it back. Written here, relative to open folders,
// rather than through GIO's g_file_trash: that renames by path (a file swapped
// in after the pass looked at it would be trashed in its stead) and with a
// plain rename (an entry already in Trash/files without its info file would be
// replaced).

#include <cstdint>
#include <string>

#include "fs/OpenFolder.h"

namespace tidyfold::fs {

struct TrashOutcome {
    int error = 0;          // 0, or the errno of the step that failed
    bool changed = false;   // the name no longer leads to the file seen, unchanged
    bool noTrash = false;   // its file system has no Trash this user can use
    bool systemMount = false;  // with noTrash: file managers keep no Trash on its mount
    std::string trashedAs;  // on success, where it is now (a path in Trash/files)
    bool Ok() const noexcept { return error == 0 && !changed && !noTrash; }
};

// Sends seen, a file or link that a listing of from gave, to the Trash on
// its own file system:
//  - homeTrash ($XDG_DATA_HOME/Trash) when that lies on the same file system,
//    made with the folders above it when missing;
//  - else, at the top folder of the file's file system, ".Trash/<uid>" when
//    ".Trash" is a real folder with the sticky bit, else ".Trash-<uid>";
//    either made when missing and used only as a real folder of this user's,
//    and only on a mount where file managers keep a Trash (as GLib judges:
//    not on tmpfs or another system-internal mount, nor on a folder that is
//    no mount, such as a btrfs subvolume; noTrash and systemMount then).
// The info file (info/NAME.trashinfo: the original path, escaped as in a
// URL, and deletionDate) is created exclusively and flushed first; then the
// file is put into files/NAME, never replacing anything (PlaceNoReplace). A name taken in
// either folder becomes "name (2).ext", "name (3).ext" and so on, shortened
// where the info file's name would be too long. The rename happens only
// while from's name still leads to seen with the same size and change time.
// Whatever fails, the file stays where it was and nothing of it is left in
// the Trash.
TrashOutcome TrashEntry(const OpenFolder& from, const Entry& seen, const std::string& homeTrash,
                        const std::string& originalPath, const std::string& deletionDate);

// A time as the info file's DeletionDate holds it: local time,
// "YYYY-MM-DDThh:mm:ss".
std::string TrashDate(std::int64_t unixSeconds);

// A path as the info file's Path holds it: every byte but letters, digits,
// "-", ".", "_", "~" and "/" as "%" and two hexadecimal digits.
std::string TrashInfoPath(const std::string& path);

}  // namespace tidyfold::fs
