#pragma once

// The file layer: the one place that talks to the operating system about
// files. Everything above it works on these objects and is testable against
// temporary directories. Paths are byte strings with "/" as the separator; a
// backslash, a newline or bytes that are not UTF-8 are ordinary name bytes.
//
// Rules that hold for every call here:
//  - a symbolic link is never followed: it is an entry of its own;
//  - failures throw tidyfold::Error with errno and the system's text, except
//    DeleteFile, which returns an errno because its caller may go on (the
//    transfers between open folders are in Transfer.h).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tidyfold::fs {

// How a delete treats an entry whose owner-write bit is clear.
enum class Force {
    No,   // refuse it with "Permission denied", as rm protects write-protected files
    Yes,  // remove it anyway; a folder goes with everything inside, links not followed
};

// Attribute bits as the rest of the program knows them.
inline constexpr int kAttrNormal = 0;
inline constexpr int kAttrReadOnly = 1;  // the owner-write permission bit is clear
inline constexpr int kAttrHidden = 2;    // the name begins with "."

// A file's times on the UTC clock, in nanoseconds since 1970-01-01.
struct FileTimes {
    std::int64_t access_ns = 0;
    std::int64_t modify_ns = 0;
    std::int64_t change_ns = 0;  // status change
};

// A non-folder entry: a regular file or a symbolic link (a link to a folder
// included). Holds only its path; every query asks the system afresh.
class File {
public:
    explicit File(std::string path);

    const std::string& Path() const noexcept { return path_; }
    std::string Name() const;  // the text after the last "/"

    bool IsLink() const;          // lstat; throws
    std::uint64_t Size() const;   // lstat; for a link, the link's own size; throws
    int Attributes() const;       // throws
    // Writing 0 sets the owner-write bit; the hidden bit cannot be cleared.
    // A link's attributes are never written (chmod would reach its target).
    void SetAttributes(int attributes) const;
    FileTimes Times() const;      // lstat, without opening the file; throws
    void Delete(Force force) const;

private:
    std::string path_;
};

// A real directory (never a link to one).
class Folder {
public:
    // Opens the folder at path; throws ENOENT when missing and ENOTDIR when the
    // path names a file or a symbolic link.
    static Folder Get(const std::string& path);

    const std::string& Path() const noexcept { return path_; }
    std::string Name() const;

    // Regular files and symbolic links directly inside, in the system's order.
    std::vector<File> Files() const;
    // Real directories directly inside, in the system's order.
    std::vector<Folder> SubFolders() const;
    // Every entry of any kind (FIFOs, sockets and devices too): a folder with
    // any entry at all is not empty.
    std::size_t EntryCount() const;

    void Delete(Force force) const;

private:
    explicit Folder(std::string path);
    std::string path_;
};

// True when path names a real directory (a link to one does not count).
bool FolderExists(const std::string& path);
// Creates one folder; fails when the parent is missing or the name is taken.
void CreateFolder(const std::string& path);

// Called when a copy starts and after each chunk, on the copying thread.
using CopyProgress = std::function<void(std::uint64_t total, std::uint64_t transferred)>;

// Removes one non-folder entry without force. Returns 0 or an errno.
int DeleteFile(const std::string& path);

// Whole small files (settings, the archive list).
std::string ReadWholeFile(const std::string& path);  // throws, ENOENT included
// Reads a small configuration file of another program, following a link to
// it (dotfile managers link such files). Anything but a regular file, a FIFO
// above all, is refused rather than waited on (EINVAL).
std::string ReadLinkedConfigFile(const std::string& path);
// The same for a data file of another program that may grow large: one
// larger than limit bytes is refused (EFBIG) rather than read.
std::string ReadLinkedFileUpTo(const std::string& path, std::size_t limit);
// Reads path, creating it empty first when it is missing.
std::string ReadOrCreateFile(const std::string& path);
// Writes the whole text under a temporary name in the same folder, flushes
// it and renames it over path: a crash never leaves path truncated.
void WriteFileAtomically(const std::string& path, const std::string& contents);

// The folder that holds the running executable, without a trailing "/".
std::string ApplicationFolder();
// Tests point the application folder somewhere else; empty text restores it.
void SetApplicationFolderForTesting(std::string folder);

// When path itself is a symbolic link, the real path of what it names;
// otherwise path unchanged (also when the link cannot be resolved). For
// looking up the program's own data folder; the passes never decide anything
// by a resolved path (they open their folders and compare identities).
std::string ResolveIfLink(const std::string& path);
// The real path of the existing folder at path, every link on the way
// resolved. For a folder of the user's own settings or state that may lie
// behind a link into a dotfile collection. Throws.
std::string RealFolderPath(const std::string& path);

// The parent of path ("/a/b" gives "/a", "/a" gives "/"); empty for a bare name.
std::string ParentPath(const std::string& path);

// True when path names an entry of any kind, a link included (not followed).
bool EntryExists(const std::string& path);
// Creates the folder at the absolute path with mode, and every missing folder
// above it with the same mode, as the XDG rules ask for a user's
// configuration folders (0700). Folders already there, links to folders
// included, are kept as they are. Throws for the first folder that cannot be
// opened or made.
void CreateFolderPath(const std::string& path, unsigned mode);
// Reads a file the kernel makes up as it is read (under /proc or /sys),
// whose size says nothing about its length: up to the end of what reads
// give. Throws.
std::string ReadKernelFile(const std::string& path);

}  // namespace tidyfold::fs
