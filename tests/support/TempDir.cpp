#include "tests/support/TempDir.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tidyfold::test {

TempDir::TempDir() {
    char pattern[] = "/tmp/tidyfold-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    path_ = pattern;
    // Unprivileged children of the tests must be able to reach the tree.
    chmod(path_.c_str(), 0755);
}

TempDir::~TempDir() { RemoveTree(path_); }

void MakeDirs(const std::string& path) {
    for (std::size_t pos = 1; pos != std::string::npos;) {
        pos = path.find('/', pos + 1);
        std::string prefix = path.substr(0, pos);
        if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST)
            throw std::runtime_error("mkdir " + prefix + ": " + std::strerror(errno));
    }
}

void WriteFile(const std::string& path, const std::string& contents) {
    auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        MakeDirs(path.substr(0, slash));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << contents;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

namespace {
void RemoveAt(int dirfd, const char* name) {
    struct stat st;
    if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (!S_ISDIR(st.st_mode)) {
        unlinkat(dirfd, name, 0);
        return;
    }
    fchmodat(dirfd, name, 0700, 0);
    int fd = openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        DIR* dir = fdopendir(fd);
        if (dir != nullptr) {
            while (dirent* entry = readdir(dir)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    RemoveAt(fd, entry->d_name);
            }
            closedir(dir);
        } else {
            close(fd);
        }
    }
    unlinkat(dirfd, name, AT_REMOVEDIR);
}
}  // namespace

void RemoveTree(const std::string& path) {
    if (!path.empty())
        RemoveAt(AT_FDCWD, path.c_str());
}

unsigned UnprivilegedUid() { return 65534; }
unsigned UnprivilegedGid() { return 65534; }

int RunUnprivileged(const std::function<void()>& body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        gid_t gid = UnprivilegedGid();
        if (setgroups(1, &gid) != 0 || setgid(gid) != 0 || setuid(UnprivilegedUid()) != 0)
            _exit(120);
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tidyfold::test
