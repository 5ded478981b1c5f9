#pragma once

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "fs/Fault.h"
#include "fs/FileSystem.h"
#include "fs/OpenFolder.h"
#include "fs/Transfer.h"
#include "tests/support/DriveImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace tidyfold::test {

// Every file-layer test starts and ends with a disarmed seam, so a fault one
// test armed but never reached cannot fail the next.
class FsTest : public ::testing::Test {
protected:
    void SetUp() override { fs::fault::Reset(); }
    void TearDown() override { fs::fault::Reset(); }

    TempDir dir;
};

// A copy or a move named by paths, made the way the passes make them: both
// folders opened, the entry seen, then CopyEntry (a taken name gives the next
// free one) or MoveEntry (a taken name fails it, EEXIST). 0 or an errno;
// ESTALE when the entry changed while it was read.
template <typename Transfer>
int TransferByPath(const std::string& src, const std::string& dst, Transfer&& transfer) {
    try {
        const std::size_t slash = dst.rfind('/');
        const std::string toName = dst.substr(slash + 1);
        if (toName.empty() || toName == "." || toName == "..")
            return EISDIR;
        const fs::OpenFolder from = fs::OpenFolder::Open(fs::ParentPath(src));
        const fs::OpenFolder to = fs::OpenFolder::Open(dst.substr(0, slash == 0 ? 1 : slash));
        const std::optional<fs::Entry> seen = from.Stat(src.substr(src.rfind('/') + 1));
        if (!seen)
            return ENOENT;
        const fs::Outcome outcome = transfer(from, *seen, to, toName);
        return outcome.error != 0 ? outcome.error : outcome.changed ? ESTALE : 0;
    } catch (const Error& error) {
        return error.Number();
    }
}

inline int CopyByPath(const std::string& src, const std::string& dst, const fs::CopyProgress& progress = {},
                      const volatile int* cancel = nullptr) {
    return TransferByPath(src, dst, [&](const fs::OpenFolder& from, const fs::Entry& seen, const fs::OpenFolder& to,
                                        const std::string& name) {
        return fs::CopyEntry(from, seen, to, name, progress, cancel, nullptr);
    });
}

inline int MoveByPath(const std::string& src, const std::string& dst) {
    return TransferByPath(src, dst, [](const fs::OpenFolder& from, const fs::Entry& seen, const fs::OpenFolder& to,
                                       const std::string& name) {
        return fs::MoveEntry(from, seen, to, name, {}, nullptr, nullptr, fs::Clash::Fail);
    });
}

// The errno of the tidyfold::Error that body throws, or 0 when it throws none.
template <typename Body>
int ThrownErrno(Body&& body) {
    try {
        body();
    } catch (const Error& error) {
        return error.Number();
    }
    return 0;
}

inline mode_t ModeOf(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        ADD_FAILURE() << "lstat " << path << ": " << std::strerror(errno);
    return st.st_mode & 07777;
}

inline void Chmod(const std::string& path, mode_t mode) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << path << ": " << std::strerror(errno);
}

inline void Symlink(const std::string& target, const std::string& path) {
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path << ": " << std::strerror(errno);
}

inline std::string LinkText(const std::string& path) {
    char buffer[4096];
    ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

// Binds a Unix socket at path; the node stays after the descriptor closes.
inline void MakeSocket(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    close(fd);
    ASSERT_EQ(bound, 0) << std::strerror(errno);
}

// The names in a folder that look like the file layer's temporary files.
inline std::vector<std::string> TempFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (const fs::File& file : fs::Folder::Get(folder).Files()) {
        if (file.Name().find(".tidyfold-tmp-") != std::string::npos)
            found.push_back(file.Name());
    }
    return found;
}

template <typename T>
std::vector<std::string> SortedNames(const std::vector<T>& entries) {
    std::vector<std::string> names;
    for (const T& entry : entries)
        names.push_back(entry.Name());
    std::sort(names.begin(), names.end());
    return names;
}

// In a child with a mount namespace of its own, so that nothing stays mounted
// whatever happens. Returns the child's status, 77 when mounting is not allowed.
inline int WithTmpfsMounted(const std::string& at, const std::function<bool()>& body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", at.c_str(), "tmpfs", 0, nullptr) != 0)
            _exit(77);
        bool held = false;
        try {
            held = body();
        } catch (...) {
        }
        _exit(held ? 0 : 1);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// Runs body in a child process with a drive of kind mounted in a mount
// namespace of the child's own; body gets the drive's top folder. Returns 0
// when body held, 1 when not, 77 (with the reason printed) when no drive
// could be mounted here.
inline int WithDriveMounted(DriveKind kind, const std::function<bool(const std::string&)>& body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        std::string why;
        if (!PrivateMounts(why)) {
            std::printf("%s\n", why.c_str());
            _exit(77);
        }
        bool held = false;
        {
            DriveImage drive(kind, "/tmp");
            if (!drive.Mounted()) {
                std::printf("%s\n", drive.Why().c_str());
                fflush(nullptr);
                _exit(77);
            }
            try {
                held = body(drive.Root());
            } catch (...) {
            }
        }
        fflush(nullptr);
        _exit(held ? 0 : 1);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// Hands a path to the unprivileged user the tests drop to.
inline void GiveToNobody(const std::string& path) {
    ASSERT_EQ(lchown(path.c_str(), UnprivilegedUid(), UnprivilegedGid()), 0) << path;
}

}  // namespace tidyfold::test
