#include "tests/support/Snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace tidyfold::test {

namespace {

std::int64_t Nanoseconds(const timespec& t) { return std::int64_t(t.tv_sec) * 1000000000LL + t.tv_nsec; }

Kind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return Kind::File;
    if (S_ISLNK(mode)) return Kind::Link;
    if (S_ISDIR(mode)) return Kind::Folder;
    if (S_ISFIFO(mode)) return Kind::Fifo;
    if (S_ISSOCK(mode)) return Kind::Socket;
    return Kind::Other;
}

std::uint64_t HashFileAt(int dirfd, const char* name) {
    int fd = openat(dirfd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ~0ULL;  // unreadable: never equal to a real hash of readable data
    // One buffer for every file: a fresh MiB per file costs more than the
    // hashing under the sanitizers.
    static thread_local std::vector<char> buffer(1 << 20);
    std::uint64_t hash = 0;
    for (;;) {
        ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        hash = HashBytes(buffer.data(), static_cast<std::size_t>(n), hash);
    }
    close(fd);
    return hash;
}

void ScanAt(int dirfd, const std::string& prefix, Snapshot& out) {
    DIR* dir = fdopendir(dirfd);
    if (dir == nullptr) {
        close(dirfd);
        return;
    }
    while (dirent* item = readdir(dir)) {
        const char* name = item->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st;
        if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        Entry entry;
        entry.kind = KindOf(st.st_mode);
        entry.mode = st.st_mode & 07777;
        entry.size = static_cast<std::uint64_t>(st.st_size);
        entry.mtime_ns = Nanoseconds(st.st_mtim);
        entry.ctime_ns = Nanoseconds(st.st_ctim);
        const std::string relative = prefix + name;
        if (entry.kind == Kind::File) {
            entry.hash = HashFileAt(dirfd, name);
        } else if (entry.kind == Kind::Link) {
            std::vector<char> target(static_cast<std::size_t>(st.st_size) + 2);
            ssize_t n = readlinkat(dirfd, name, target.data(), target.size());
            if (n >= 0)
                entry.target.assign(target.data(), static_cast<std::size_t>(n));
        }
        out[relative] = entry;
        if (entry.kind == Kind::Folder) {
            int sub = openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                ScanAt(sub, relative + "/", out);
        }
    }
    closedir(dir);
}

}  // namespace

std::uint64_t HashBytes(const void* data, std::size_t size, std::uint64_t seed) {
    // Word-wise multiply-rotate mixing: fast enough for many MiB per check,
    // and any change of a byte or of the length changes the result.
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::uint64_t h = seed ^ 0x9E3779B97F4A7C15ULL;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        h = (h ^ (word * 0xC2B2AE3D27D4EB4FULL)) * 0x9E3779B97F4A7C15ULL;
        h = (h << 31) | (h >> 33);
    }
    for (; i < size; ++i)
        h = (h ^ bytes[i]) * 0x100000001B3ULL;
    return h ^ (size * 0xFF51AFD7ED558CCDULL);
}

Snapshot Scan(const std::string& root) {
    Snapshot out;
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("Scan: cannot open " + root + ": " + std::strerror(errno));
    ScanAt(fd, "", out);
    return out;
}

Snapshot ScanIfPresent(const std::string& root) {
    struct stat st;
    if (lstat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    return Scan(root);
}

bool SameData(const Entry& a, const Entry& b) {
    if (a.kind != b.kind)
        return false;
    if (a.kind == Kind::Link)
        return a.target == b.target;
    return a.size == b.size && a.hash == b.hash;
}

bool Untouched(const Entry& a, const Entry& b) {
    return SameData(a, b) && a.mode == b.mode && a.mtime_ns == b.mtime_ns && a.ctime_ns == b.ctime_ns;
}

std::string BaseName(const std::string& relative) {
    auto slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

bool IsTempName(const std::string& name) {
    static const std::string marker = ".tidyfold-tmp-";
    if (name.size() < 1 + marker.size() + 6 || name[0] != '.')
        return false;
    auto at = name.rfind(marker);
    return at != std::string::npos && at >= 1 && name.size() - (at + marker.size()) == 6;
}

Snapshot DataEntries(const Snapshot& snapshot) {
    Snapshot out;
    for (const auto& [path, entry] : snapshot)
        if (entry.kind == Kind::File || entry.kind == Kind::Link)
            out.emplace(path, entry);
    return out;
}

std::string Printable(const std::string& path) {
    static const char* hex = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : path) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + "\"";
}

std::string Brief(const Entry& entry) {
    // Appended piece by piece: GCC 12 warns wrongly about "x" + std::string
    // temporaries at -O3.
    std::string text;
    switch (entry.kind) {
    case Kind::Link:
        return text.append("L:").append(entry.target);
    case Kind::Folder:
        text = "D";
        break;
    case Kind::File:
        text.append("F:").append(std::to_string(entry.size)).append(":").append(std::to_string(entry.hash));
        break;
    default:
        text = "O";
        break;
    }
    return text.append(" ").append(std::to_string(entry.mode));
}

std::map<std::string, std::string> BriefTree(const std::string& root) {
    std::map<std::string, std::string> out;
    for (const auto& [path, entry] : ScanIfPresent(root))
        out.emplace(path, Brief(entry));
    return out;
}

}  // namespace tidyfold::test
