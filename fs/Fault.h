#pragma once

// The file layer's fault seam. Every system call of the file layer passes
// through it, so a test can make any one kind of call fail with a chosen errno
// at its n-th use. It costs a relaxed increment and one load per call when
// nothing is armed, next to nothing beside the system call itself.

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
    Count_  // keep last
};

std::string_view Name(Call call);

// The nth use of call from now on (1 = the next one) fails with errnum.
// Arming a call replaces an earlier arm of the same call.
void Inject(Call call, int errnum, int nth = 1);
// Disarms every call and sets every use count to zero.
void Reset();
// Uses of call since the last Reset (counted whether armed or not).
long Uses(Call call);

// Used by the file layer: counts a use and returns the errno to fail with, or 0.
int Check(Call call);

}  // namespace tidyfold::fs::fault
