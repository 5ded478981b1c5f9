#pragma once

// A small drive for one test or benchmark: a file system made in a sparse
// image file and mounted on a loop device, the FUSE ones as Debian mounts a
// USB stick (exfat-fuse; ntfs-3g with windows_names, as desktops mount NTFS;
// fusefat for FAT32). Unmounted, and its image removed, when the object
// goes. Where the tools are missing or mounting is not allowed, Mounted() is
// false and Why() says why, for the test to skip with.

#include <cstdint>
#include <string>
#include <vector>

namespace tidyfold::test {

enum class DriveKind { Ext4, Btrfs, Xfs, Exfat, Ntfs, Fat32 };

// "ext4", "btrfs", "xfs", "exFAT", "NTFS", "FAT32".
const char* DriveName(DriveKind kind);

class DriveImage {
public:
    // The image goes below base (on a file system with room for a sparse
    // file); size is the drive's size in bytes. A btrfs drive gets a
    // subvolume "sub" at its top.
    DriveImage(DriveKind kind, const std::string& base, std::uint64_t size = 64ull << 20);
    ~DriveImage();
    DriveImage(const DriveImage&) = delete;
    DriveImage& operator=(const DriveImage&) = delete;

    bool Mounted() const noexcept { return mounted_; }
    const std::string& Why() const noexcept { return why_; }
    // Where it is mounted.
    const std::string& Root() const noexcept { return root_; }
    DriveKind Kind() const noexcept { return kind_; }

private:
    bool Make(std::uint64_t size);
    bool Mount();

    DriveKind kind_;
    std::string folder_;  // holds the image and the mount point
    std::string image_;
    std::string root_;
    std::string why_;
    bool mounted_ = false;
};

// Moves this process into a mount namespace of its own (every mount kept
// private), so that the drives it mounts are seen by it and its children
// only and vanish with them, whatever happens to the test. Call before any
// thread starts; false, with why, when that is not allowed.
bool PrivateMounts(std::string& why);

// Runs a program (found on PATH) and waits for it; its output, both
// streams, goes to output. Returns its exit status, or -1 when it could not
// be started or was killed.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments, std::string* output = nullptr);

}  // namespace tidyfold::test
