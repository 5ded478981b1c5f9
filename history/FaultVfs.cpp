#include "history/FaultVfs.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstddef>
#include <mutex>
#include <string>
#include <utility>

#include "fs/Fault.h"
#include "fs/Permissions.h"

namespace tidyfold::history {

namespace {

using fs::fault::Call;

constexpr const char* kName = "tidyfold-seam";

// Our file: the default VFS's file follows it in the same allocation.
struct SeamFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_vfs* Real() {
    // The default VFS as it was before ours was registered (ours is never
    // made the default).
    static sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
    return real;
}

// The errno of the last failure on this thread, kept until it is asked for:
// a rollback after the failure makes more calls before the error reaches
// the caller.
thread_local int lastErrno = 0;

// Counts a use of call; the errno to fail with, or 0.
int Fault(Call call) {
    const int errnum = fs::fault::Check(call);
    if (errnum != 0) {
        lastErrno = errnum;
        errno = errnum;
    }
    return errnum;
}

// Keeps the errno of a real call that failed.
int Noted(int code) {
    if (code != SQLITE_OK && (code & 0xff) != SQLITE_BUSY && code != SQLITE_IOERR_SHORT_READ && errno != 0)
        lastErrno = errno;
    return code;
}

sqlite3_file* RealOf(sqlite3_file* file) { return reinterpret_cast<SeamFile*>(file)->real; }

int Close(sqlite3_file* file) {
    sqlite3_file* real = RealOf(file);
    return real->pMethods != nullptr ? real->pMethods->xClose(real) : SQLITE_OK;
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    sqlite3_file* real = RealOf(file);
    return Noted(real->pMethods->xRead(real, buffer, amount, offset));
}

int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
    if (int errnum = Fault(Call::HistoryWrite))
        return errnum == ENOSPC ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    sqlite3_file* real = RealOf(file);
    return Noted(real->pMethods->xWrite(real, buffer, amount, offset));
}

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
    if (Fault(Call::HistoryTruncate) != 0)
        return SQLITE_IOERR_TRUNCATE;
    sqlite3_file* real = RealOf(file);
    return Noted(real->pMethods->xTruncate(real, size));
}

int Sync(sqlite3_file* file, int flags) {
    if (Fault(Call::HistorySync) != 0)
        return SQLITE_IOERR_FSYNC;
    sqlite3_file* real = RealOf(file);
    return Noted(real->pMethods->xSync(real, flags));
}

// The rest only forward.
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return RealOf(f)->pMethods->xFileSize(RealOf(f), size); }
int Lock(sqlite3_file* f, int level) { return RealOf(f)->pMethods->xLock(RealOf(f), level); }
int Unlock(sqlite3_file* f, int level) { return RealOf(f)->pMethods->xUnlock(RealOf(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) { return RealOf(f)->pMethods->xCheckReservedLock(RealOf(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return RealOf(f)->pMethods->xFileControl(RealOf(f), op, arg); }
int SectorSize(sqlite3_file* f) { return RealOf(f)->pMethods->xSectorSize(RealOf(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return RealOf(f)->pMethods->xDeviceCharacteristics(RealOf(f)); }
int ShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
    return RealOf(f)->pMethods->xShmMap(RealOf(f), page, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return RealOf(f)->pMethods->xShmLock(RealOf(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { RealOf(f)->pMethods->xShmBarrier(RealOf(f)); }
int ShmUnmap(sqlite3_file* f, int deleteFlag) { return RealOf(f)->pMethods->xShmUnmap(RealOf(f), deleteFlag); }
int Fetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    return RealOf(f)->pMethods->xFetch(RealOf(f), offset, amount, out);
}
int Unfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
    return RealOf(f)->pMethods->xUnfetch(RealOf(f), offset, p);
}

// Version 3 methods: the default VFS on Linux has them all (WAL needs the
// shared-memory ones).
const sqlite3_io_methods kMethods = {
    3,     Close,       Read,       Write,        Truncate,         Sync,        FileSize,
    Lock,  Unlock,      CheckReservedLock, FileControl, SectorSize, DeviceCharacteristics,
    ShmMap, ShmLock,    ShmBarrier, ShmUnmap,     Fetch,            Unfetch,
};

int Open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    auto* seam = reinterpret_cast<SeamFile*>(file);
    seam->base.pMethods = nullptr;
    seam->real = reinterpret_cast<sqlite3_file*>(seam + 1);
    seam->real->pMethods = nullptr;
    if (Fault(Call::HistoryOpen) != 0)
        return SQLITE_CANTOPEN;
    sqlite3_vfs* real = static_cast<sqlite3_vfs*>(vfs->pAppData);
    const int code = Noted(real->xOpen(real, name, seam->real, flags, outFlags));
    // A refused read-write open is tried again read-only, and the ENOENT of
    // that second try hides why a new history could not be made: the
    // folder tells (a read-only drive, no permission).
    if (code != SQLITE_OK && lastErrno == ENOENT && (flags & SQLITE_OPEN_CREATE) != 0 && name != nullptr) {
        const std::string path(name);
        const std::size_t slash = path.rfind('/');
        if (slash != std::string::npos)
            if (const int why = fs::WhyNoNewFileIn(slash == 0 ? "/" : path.substr(0, slash)); why != 0)
                lastErrno = why;
    }
    // SQLite calls xClose whenever pMethods is set, even after a failed open.
    if (seam->real->pMethods != nullptr)
        seam->base.pMethods = &kMethods;
    return code;
}

int Delete(sqlite3_vfs* vfs, const char* name, int syncDir) {
    sqlite3_vfs* real = static_cast<sqlite3_vfs*>(vfs->pAppData);
    return real->xDelete(real, name, syncDir);
}

int GetLastError(sqlite3_vfs* vfs, int size, char* text) {
    if (lastErrno != 0)
        return lastErrno;
    sqlite3_vfs* real = static_cast<sqlite3_vfs*>(vfs->pAppData);
    return real->xGetLastError(real, size, text);
}

// Everything else is the default VFS's own, called with the default VFS.
sqlite3_vfs MakeVfs() {
    sqlite3_vfs* real = Real();
    sqlite3_vfs vfs = *real;
    vfs.iVersion = 2;  // no system-call overrides through ours
    vfs.szOsFile = static_cast<int>(sizeof(SeamFile)) + real->szOsFile;
    vfs.pNext = nullptr;
    vfs.zName = kName;
    vfs.pAppData = real;
    vfs.xOpen = Open;
    vfs.xDelete = Delete;
    vfs.xGetLastError = GetLastError;
    vfs.xAccess = [](sqlite3_vfs* v, const char* n, int f, int* out) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        return r->xAccess(r, n, f, out);
    };
    vfs.xFullPathname = [](sqlite3_vfs* v, const char* n, int size, char* out) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        return r->xFullPathname(r, n, size, out);
    };
    vfs.xDlOpen = [](sqlite3_vfs* v, const char* n) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        return r->xDlOpen(r, n);
    };
    vfs.xDlError = [](sqlite3_vfs* v, int size, char* out) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        r->xDlError(r, size, out);
    };
    vfs.xDlSym = [](sqlite3_vfs* v, void* handle, const char* symbol) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        return r->xDlSym(r, handle, symbol);
    };
    vfs.xDlClose = [](sqlite3_vfs* v, void* handle) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        r->xDlClose(r, handle);
    };
    vfs.xRandomness = [](sqlite3_vfs* v, int size, char* out) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        return r->xRandomness(r, size, out);
    };
    vfs.xSleep = [](sqlite3_vfs* v, int micro) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        return r->xSleep(r, micro);
    };
    vfs.xCurrentTime = [](sqlite3_vfs* v, double* out) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        return r->xCurrentTime(r, out);
    };
    vfs.xCurrentTimeInt64 = [](sqlite3_vfs* v, sqlite3_int64* out) {
        auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
        return r->xCurrentTimeInt64(r, out);
    };
    return vfs;
}

}  // namespace

const char* FaultVfsName() {
    static std::once_flag once;
    static sqlite3_vfs vfs;
    std::call_once(once, [] {
        sqlite3_initialize();
        vfs = MakeVfs();
        sqlite3_vfs_register(&vfs, 0);
    });
    return kName;
}

int TakeFileErrno() { return std::exchange(lastErrno, 0); }

}  // namespace tidyfold::history
