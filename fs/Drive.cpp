#include "fs/Drive.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sstream>

#include "base/Error.h"
#include "fs/Handles.h"

namespace tidyfold::fs {

namespace {

// The kernel's numbers for the file systems told apart here (linux/magic.h
// and the drivers' own headers).
constexpr long kFuseMagic = 0x65735546;
constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;
constexpr long kNtfsMagic = 0x5346544e;   // the old ntfs driver
constexpr long kNtfs3Magic = 0x7366746e;  // ntfs3

constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::uint64_t kFatLargest = (std::uint64_t{4} << 30) - 1;

DriveRules Fat() {
    DriveRules rules;
    rules.family = DriveFamily::Fat;
    rules.name = "FAT32";
    rules.windowsNames = true;
    rules.utf16Names = true;
    rules.links = false;
    rules.maxFileSize = kFatLargest;
    rules.stableIds = false;
    rules.timeStepNs = 2 * kSecond;
    return rules;
}

DriveRules Exfat(std::int64_t step) {
    DriveRules rules;
    rules.family = DriveFamily::Exfat;
    rules.name = "exFAT";
    rules.windowsNames = true;
    rules.utf16Names = true;
    rules.links = false;
    rules.stableIds = false;
    rules.timeStepNs = step;
    return rules;
}

// Whether NTFS refuses Windows names is a mount option (windows_names),
// which only ntfs3 shows.
DriveRules Ntfs(bool windowsNames) {
    DriveRules rules;
    rules.family = DriveFamily::Ntfs;
    rules.name = "NTFS";
    rules.windowsNames = windowsNames;
    rules.utf16Names = true;
    rules.stableIds = false;
    rules.timeStepNs = 100;
    return rules;
}

DriveRules UnknownFuse() {
    DriveRules rules;
    rules.family = DriveFamily::Fuse;
    rules.stableIds = false;
    rules.timeStepNs = 2 * kSecond;
    return rules;
}

// One line of /proc/self/mountinfo, as far as it is needed here.
struct Mount {
    std::string type;     // "fuseblk", "fuse.fusefat", "ntfs3", ...
    std::string source;   // "/dev/sdb1"
    std::string options;  // the file system's own options
};

// Undoes the octal escapes (\040 for a blank) of a mountinfo field.
std::string Unescaped(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const bool octal =
            field[i] == '\\' && i + 3 < field.size() && field.find_first_not_of("01234567", i + 1) >= i + 4;
        if (octal) {
            out += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The mount whose device is dev. Several mounts may share it (bind mounts):
// they are of one file system.
std::optional<Mount> MountOf(dev_t dev) {
    const std::string wanted = std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    std::istringstream lines(ReadKernelFile("/proc/self/mountinfo"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string id, parent, number;
        fields >> id >> parent >> number;
        if (number != wanted)
            continue;
        const std::size_t dash = line.find(" - ");
        if (dash == std::string::npos)
            continue;
        std::istringstream tail(line.substr(dash + 3));
        Mount mount;
        tail >> mount.type >> mount.source >> mount.options;
        mount.source = Unescaped(mount.source);
        return mount;
    }
    return std::nullopt;
}

bool HasOption(const std::string& options, const std::string& option) {
    return ("," + options + ",").find("," + option + ",") != std::string::npos;
}

// What the device holds, by its udev record (readable by anyone on a
// desktop) or by reading its first blocks (only for whoever may read the
// device). Empty when neither tells.
std::string ProbedType(const std::string& source, dev_t dev) {
    const std::string record = "/run/udev/data/b" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    try {
        std::istringstream lines(ReadKernelFile(record));
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("E:ID_FS_TYPE=", 0) == 0)
                return line.substr(13);
    } catch (const Error&) {
        // No udev here: the device itself may still tell.
    }
    UniqueFd fd(sys::OpenAt(AT_FDCWD, source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    // Only the device the file system is on: a source text may name anything.
    if (!fd.Valid() || sys::Fstat(fd.Get(), &st) != 0 || !S_ISBLK(st.st_mode) || st.st_rdev != dev)
        return {};
    std::string type;
    if (blkid_probe probe = blkid_new_probe()) {
        const char* value = nullptr;
        if (blkid_probe_set_device(probe, fd.Get(), 0, 0) == 0 && blkid_probe_enable_superblocks(probe, 1) == 0 &&
            blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, "TYPE", &value, nullptr) == 0)
            type = value;
        blkid_free_probe(probe);
    }
    return type;
}

// A FUSE drive by what its mount says (a subtype such as "fuse.fusefat")
// or what its device holds.
DriveRules FuseRules(dev_t dev) {
    const std::optional<Mount> mount = MountOf(dev);
    if (!mount)
        return UnknownFuse();
    const std::size_t dot = mount->type.find('.');
    std::string kind = dot == std::string::npos ? std::string() : mount->type.substr(dot + 1);
    if (kind.empty() && mount->type == "fuseblk")
        kind = ProbedType(mount->source, dev);
    if (kind.find("exfat") != std::string::npos)
        return Exfat(2 * kSecond);
    if (kind.find("fat") != std::string::npos)
        return Fat();
    if (kind.find("ntfs") != std::string::npos)
        return Ntfs(false);
    return UnknownFuse();
}

DriveRules ByMagic(long type, std::size_t nameMax) {
    DriveRules rules;
    if (type == kFuseMagic)
        rules = UnknownFuse();
    else if (type == kMsdosMagic)
        rules = Fat();
    else if (type == kExfatMagic)
        rules = Exfat(10'000'000);
    else if (type == kNtfsMagic || type == kNtfs3Magic)
        rules = Ntfs(false);
    if (rules.family == DriveFamily::Posix && nameMax > 0)
        rules.nameMax = nameMax;
    return rules;
}

// A code point's UTF-16 units per its UTF-8 length, or 0 for no valid
// sequence at name[i].
std::size_t Utf8Length(const std::string& name, std::size_t i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const std::size_t length = byte < 0x80 ? 1 : (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3
                               : (byte & 0xF8) == 0xF0             ? 4
                                                                   : 0;
    if (length == 0 || i + length > name.size() || (length == 2 && byte < 0xC2))
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(name[i + k]) & 0xC0) != 0x80)
            return 0;
    return length;
}

// The UTF-16 units of name, or nothing when it is not valid UTF-8.
std::optional<std::size_t> Utf16Units(const std::string& name) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = Utf8Length(name, i);
        if (length == 0)
            return std::nullopt;
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

constexpr std::string_view kWindowsRefuses = "\"*:<>?\\|";

// The first character a Windows-style drive refuses in name, or 0.
char RefusedCharacter(const std::string& name) {
    for (const char c : name) {
        if (kWindowsRefuses.find(c) != std::string_view::npos || (c > 0 && c < 0x20))
            return c;
    }
    return 0;
}

Unfit Refused(Unfit::Why why, const std::string& name, bool folder, const DriveRules& rules) {
    Unfit unfit;
    unfit.why = why;
    unfit.name = name;
    unfit.folder = folder;
    unfit.drive = rules.name;
    return unfit;
}

Unfit NameUnfit(const DriveRules& rules, const std::string& name, bool folder) {
    if (rules.windowsNames) {
        if (const char c = RefusedCharacter(name)) {
            Unfit unfit = Refused(Unfit::Why::Character, name, folder, rules);
            unfit.character = c;
            return unfit;
        }
        if (!name.empty() && (name.back() == '.' || name.back() == ' '))
            return Refused(Unfit::Why::NameEnd, name, folder, rules);
    }
    if (rules.utf16Names) {
        const std::optional<std::size_t> units = Utf16Units(name);
        if (!units)
            return Refused(Unfit::Why::Encoding, name, folder, rules);
        if (*units > rules.nameMax)
            return Refused(Unfit::Why::NameLength, name, folder, rules);
    } else if (name.size() > rules.nameMax) {
        return Refused(Unfit::Why::NameLength, name, folder, rules);
    }
    return {};
}

}  // namespace

DriveRules QuickRulesOf(int fd) {
    struct statfs st;
    if (sys::Fstatfs(fd, &st) != 0)
        return UnknownFuse();
    return ByMagic(static_cast<long>(st.f_type), static_cast<std::size_t>(st.f_namelen));
}

DriveRules RulesOf(int fd) {
    struct statfs fs;
    struct stat st;
    if (sys::Fstatfs(fd, &fs) != 0 || sys::Fstat(fd, &st) != 0)
        return UnknownFuse();
    try {
        const auto type = static_cast<long>(fs.f_type);
        if (type == kFuseMagic)
            return FuseRules(st.st_dev);
        if (type == kNtfs3Magic) {
            const std::optional<Mount> mount = MountOf(st.st_dev);
            return Ntfs(mount && HasOption(mount->options, "windows_names"));
        }
    } catch (const Error&) {
        // The mount table could not be read: only the kernel's word is left.
    }
    return ByMagic(static_cast<long>(fs.f_type), static_cast<std::size_t>(fs.f_namelen));
}

Unfit WhyUnfit(const DriveRules& rules, const std::string& relative, EntryKind kind, std::uint64_t size) {
    const bool anyName = rules.windowsNames || rules.utf16Names || relative.size() > rules.nameMax;
    // No name of the path is longer than the path: on a Linux drive only a
    // link or a size could be refused, and neither is.
    if (!anyName && rules.links && rules.maxFileSize == 0)
        return {};
    std::size_t start = 0;
    for (std::size_t slash = relative.find('/');; slash = relative.find('/', start)) {
        const bool last = slash == std::string::npos;
        const std::string name = relative.substr(start, last ? std::string::npos : slash - start);
        if (Unfit unfit = NameUnfit(rules, name, !last))
            return unfit;
        if (last)
            break;
        start = slash + 1;
    }
    const std::string name = relative.substr(relative.rfind('/') == std::string::npos ? 0 : relative.rfind('/') + 1);
    if (kind == EntryKind::Link && !rules.links)
        return Refused(Unfit::Why::Link, name, false, rules);
    if (kind == EntryKind::File && rules.maxFileSize != 0 && size > rules.maxFileSize) {
        Unfit unfit = Refused(Unfit::Why::Size, name, false, rules);
        unfit.limit = rules.maxFileSize;
        return unfit;
    }
    return {};
}

Unfit RefusalOf(const DriveRules& rules, const std::string& name, EntryKind kind, int errnum, bool folder) {
    if (errnum == ENAMETOOLONG)
        return Refused(Unfit::Why::NameLength, name, folder, rules);
    if (errnum == EFBIG) {
        Unfit unfit = Refused(Unfit::Why::Size, name, folder, rules);
        unfit.limit = rules.maxFileSize;
        return unfit;
    }
    if (rules.family == DriveFamily::Posix)
        return {};
    // Each driver says it another way: exfat-fuse ENOENT, fusefat EPERM,
    // ntfs-3g with windows_names EINVAL, the kernel's drivers EINVAL or
    // EILSEQ.
    if (errnum != EINVAL && errnum != ENOENT && errnum != EPERM && errnum != EILSEQ && errnum != ENOSYS &&
        errnum != EOPNOTSUPP)
        return {};
    DriveRules strict = rules;
    strict.windowsNames = true;
    strict.utf16Names = true;
    if (Unfit unfit = NameUnfit(strict, name, folder))
        return unfit;
    if (kind == EntryKind::Link && errnum != ENOENT)
        return Refused(Unfit::Why::Link, name, false, rules);
    return {};
}

bool SameStoredTime(std::int64_t a, std::int64_t b, std::int64_t step) {
    const std::int64_t apart = a > b ? a - b : b - a;
    return step <= 1 ? apart == 0 : apart < step;
}

}  // namespace tidyfold::fs
