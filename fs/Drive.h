#pragma once

// What a drive can hold. USB sticks, SD cards and disks shared with Windows
// carry FAT, exFAT or NTFS, whose names, links and file sizes are not those
// of the Linux file systems, and whose drivers make up the inode numbers and
// keep times in coarser steps. A transfer asks here ahead (for the Preview,
// the dry run and before it makes anything) and again when the drive has
// refused something, so that the person reads why instead of an errno that
// the driver chose ("No such file or directory" for a ':' on exFAT).

#include <cstdint>
#include <string>

#include "fs/OpenFolder.h"

namespace tidyfold::fs {

// The kinds of drive that matter here; every Linux file system is Posix.
enum class DriveFamily {
    Posix,  // ext4, btrfs, xfs, tmpfs ...: names of bytes, links, stable inode numbers
    Fat,    // FAT12/16/32 (vfat, msdos, fusefat)
    Exfat,
    Ntfs,
    Fuse,   // another FUSE file system, or one whose kind could not be told
};

struct DriveRules {
    DriveFamily family = DriveFamily::Posix;
    // For messages: "FAT32", "exFAT", "NTFS"; empty for Posix and Fuse.
    std::string name;
    // Refuses " * : < > ? \ | and control characters in a name, and a name
    // that ends in a dot or a blank (known for FAT and exFAT; NTFS only
    // when it says so, as ntfs3 does with windows_names).
    bool windowsNames = false;
    // Names are UTF-16 on the disk: valid UTF-8 only, at most nameMax units.
    bool utf16Names = false;
    // The longest name, in bytes (UTF-16 units where utf16Names).
    std::size_t nameMax = 255;
    bool links = true;
    // The largest file it holds; 0 when no limit matters.
    std::uint64_t maxFileSize = 0;
    // Inode numbers are the disk's own and say which file is which. FUSE
    // drivers number files as they meet them, FAT and exFAT have no inodes,
    // NTFS reuses its records at once; and their change times can be set.
    bool stableIds = true;
    // The coarsest step in which it keeps modification times.
    std::int64_t timeStepNs = 1;
};

// The rules of the drive that holds folder. Never throws: what cannot be
// found out is taken as an unknown FUSE drive (no identity trusted, times in
// 2 s steps, names not judged ahead).
DriveRules RulesOf(int fd);
inline DriveRules RulesOf(const OpenFolder& folder) { return RulesOf(folder.Fd()); }
// The same from what the kernel alone tells of the folder fd (one statfs):
// enough for identities and times, not for names on a FUSE drive.
DriveRules QuickRulesOf(int fd);

// Why an entry cannot be stored on a drive.
struct Unfit {
    enum class Why {
        None,
        Character,  // character is in name
        NameEnd,    // name ends in a dot or a blank
        Encoding,   // name is not valid UTF-8
        NameLength,
        Link,
        Size,       // larger than limit (0: the limit is not known)
    };
    Why why = Why::None;
    // The name refused: the file's own, or a folder's on its way (folder).
    std::string name;
    bool folder = false;
    char character = 0;
    std::uint64_t limit = 0;
    std::string drive;  // DriveRules::name
    explicit operator bool() const noexcept { return why != Why::None; }
};

// Whether the drive can store an entry of kind and size at relative (names
// joined by "/", the folders on the way included). Judged only as far as
// rules know.
Unfit WhyUnfit(const DriveRules& rules, const std::string& relative, EntryKind kind, std::uint64_t size);

// Why the drive of folder refused to create or rename name with errnum,
// when the name or the kind is the reason; nothing for failures that say
// nothing of them, and never on a Linux file system (there an EPERM or
// EINVAL has other causes).
Unfit RefusalOf(const DriveRules& rules, const std::string& name, EntryKind kind, int errnum, bool folder = false);

// Whether two modification times are the same one as a drive that keeps
// them in steps of step could have stored it: a copy's time is what the
// drive made of the original's.
bool SameStoredTime(std::int64_t a, std::int64_t b, std::int64_t step);

}  // namespace tidyfold::fs
