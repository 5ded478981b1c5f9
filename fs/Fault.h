#pragma once

// The file layer's fault seam. Every system call of the file layer passes
// through it, so a test can make any one kind of call fail with a chosen errno
// at its n-th use. It costs a relaxed increment and one load per call when
// nothing is armed, next to nothing beside the system call itself.

#include <functional>
#include <string>
#include <string_view>

namespace tidyfold::fs::fault {

enum class Call {
    Open,
    Close,
    Read,
    Write,
    CopyFileRange,
    Fsync,
    Lstat,
    Fstat,
    Opendir,
    Readdir,
    Mkdir,
    Rmdir,
    Unlink,
    Rename,
    Link,
    Symlink,
    Readlink,
    Chmod,
    Utimens,
    // A stat that follows links (a path another program recorded), and the
    // mount flags of a folder's file system.
    Stat,
    Statvfs,
    // The history's database (SQLite, through its own calls): kinds of their
    // own, so that a test fails the history's writes and not a copy's, or
    // the other way round.
    HistoryOpen,
    HistoryWrite,
    HistorySync,
    HistoryTruncate,
    Count_  // keep last
};

std::string_view Name(Call call);

// Injected as the errnum of Read or CopyFileRange, makes that use report the
// end of the data (0 bytes) instead of failing: a file system that answers
// "nothing more" before the end of the file.
inline constexpr int kEndOfData = -1;

// The nth use of call from now on (1 = the next one) fails with errnum.
// Arming a call replaces an earlier arm of the same call.
void Inject(Call call, int errnum, int nth = 1);
// Disarms every call and sets every use count to zero.
void Reset();
// Uses of call since the last Reset (counted whether armed or not).
long Uses(Call call);

// Used by the file layer: counts a use and returns the errno to fail with, or 0.
int Check(Call call);

// Runs action just before the nth use of call from now on (1 = the next
// one), which then goes on as usual: a test changes a file at an exact step
// of a transfer (after its copy is flushed, before its source is removed).
// One action at a time; arming another replaces it, and Reset removes it.
void InjectAction(Call call, int nth, std::function<void()> action);

// Runs between a listing and the descent into a folder it listed, with that
// folder's path, just before the folder is opened: a test swaps the folder
// there for a link or another folder, as anyone could at that moment. An
// empty function (and Reset) removes it.
using DescentHook = std::function<void(const std::string& path)>;
void SetDescentHook(DescentHook hook);
// Used by the file layer before it opens a listed folder.
void BeforeDescent(const std::string& path);

// What a drive may lack, pretended on any file system, so that the ways
// around it run in every test setup: a rename that refuses to replace
// (exFAT, FAT and NTFS drivers answer EINVAL) and hard links (exFAT and FAT
// answer EPERM). Reset ends the pretence.
enum class Lack { NoReplaceRename, HardLinks };
void Pretend(Lack lack);
bool Lacks(Lack lack);

}  // namespace tidyfold::fs::fault
