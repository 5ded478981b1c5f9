#include "tests/support/TempDir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace tidyfold::test {

std::string MakeTempRoot(const std::string& base) {
    std::string pattern = base + "/tidyfold-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
    // Unprivileged children of the tests must be able to reach the tree.
    chmod(pattern.c_str(), 0755);
    return pattern;
}

TempDir::TempDir(const std::string& base) : path_(MakeTempRoot(base)) {}

TempDir::~TempDir() { RemoveTree(path_); }

void MakeDirs(const std::string& path) {
    for (std::size_t pos = 1; pos != std::string::npos;) {
        pos = path.find('/', pos + 1);
        std::string prefix = path.substr(0, pos);
        if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST)
            throw std::runtime_error("mkdir " + prefix + ": " + std::strerror(errno));
    }
}

namespace {

int Create(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

}  // namespace

void WriteFile(const std::string& path, const std::string& contents) {
    // The parents are made only when missing: the benchmarks write 100,000
    // files into folders that exist.
    int fd = Create(path);
    const auto slash = path.rfind('/');
    if (fd < 0 && errno == ENOENT && slash != std::string::npos && slash > 0) {
        MakeDirs(path.substr(0, slash));
        fd = Create(path);
    }
    if (fd < 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    for (std::size_t done = 0; done < contents.size();) {
        const ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = errno;
            close(fd);
            throw std::runtime_error("cannot write " + path + ": " + std::strerror(error));
        }
        done += static_cast<std::size_t>(n);
    }
    close(fd);
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

void CopyFileData(int srcDir, int dstDir, const char* name, mode_t mode) {
    int in = openat(srcDir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    int out = openat(dstDir, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (in < 0 || out < 0)
        throw std::runtime_error(std::string("CopyTree: open ") + name + ": " + std::strerror(errno));
    bool byRange = true;
    static thread_local std::vector<char> buffer;
    for (;;) {
        ssize_t n;
        if (byRange) {
            n = copy_file_range(in, nullptr, out, nullptr, 1 << 24, 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                byRange = false;  // not between these file systems
                continue;
            }
        } else {
            buffer.resize(1 << 20);
            n = read(in, buffer.data(), buffer.size());
            if (n > 0 && write(out, buffer.data(), static_cast<std::size_t>(n)) != n)
                n = -1;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::runtime_error(std::string("CopyTree: copy ") + name + ": " + std::strerror(errno));
        if (n == 0)
            break;
    }
    close(in);
    close(out);
}

void CopyTreeAt(int srcDir, int dstDir) {
    DIR* dir = fdopendir(dup(srcDir));
    if (dir == nullptr)
        throw std::runtime_error("CopyTree: fdopendir");
    while (dirent* item = readdir(dir)) {
        const char* name = item->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st;
        if (fstatat(srcDir, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(st.st_mode)) {
            CopyFileData(srcDir, dstDir, name, st.st_mode & 07777);
        } else if (S_ISLNK(st.st_mode)) {
            std::vector<char> target(static_cast<std::size_t>(st.st_size) + 2);
            ssize_t n = readlinkat(srcDir, name, target.data(), target.size());
            if (n < 0)
                continue;
            target[static_cast<std::size_t>(n)] = '\0';
            symlinkat(target.data(), dstDir, name);
        } else if (S_ISDIR(st.st_mode)) {
            if (mkdirat(dstDir, name, 0755) != 0 && errno != EEXIST)
                throw std::runtime_error(std::string("CopyTree: mkdir ") + name);
            int subSrc = openat(srcDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            int subDst = openat(dstDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (subSrc >= 0 && subDst >= 0)
                CopyTreeAt(subSrc, subDst);
            if (subSrc >= 0) close(subSrc);
            if (subDst >= 0) close(subDst);
        }
    }
    closedir(dir);
}

}  // namespace

void RemoveTree(const std::string& path) {
    if (!path.empty())
        RemoveAt(AT_FDCWD, path.c_str());
}

void CopyTree(const std::string& src, const std::string& dst) {
    mkdir(dst.c_str(), 0755);
    int in = open(src.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int out = open(dst.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (in < 0 || out < 0)
        throw std::runtime_error("CopyTree: cannot open " + src + " or " + dst);
    CopyTreeAt(in, out);
    close(in);
    close(out);
}

}  // namespace tidyfold::test
