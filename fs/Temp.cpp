#include "fs/Temp.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <string_view>
#include <thread>

namespace tidyfold::fs {

namespace {

constexpr std::string_view kMarker = ".tidyfold-tmp-";
constexpr int kAttempts = 100;

// Unpredictable enough for names that are claimed with O_EXCL and retried:
// the clock, the thread and a process-wide counter, mixed.
std::string RandomSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t value =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    value ^= counter.fetch_add(0x9E3779B97F4A7C15ULL, std::memory_order_relaxed);
    value ^= std::hash<std::thread::id>{}(std::this_thread::get_id()) << 1;
    static constexpr char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix(6, 'x');
    for (char& c : suffix) {
        value = value * 6364136223846793005ULL + 1442695040888963407ULL;
        c = kAlphabet[(value >> 33) % (sizeof kAlphabet - 1)];
    }
    return suffix;
}

}  // namespace

std::string TempNameFor(const std::string& finalName, const std::string& suffix) {
    std::size_t room = NAME_MAX - 1 - kMarker.size() - suffix.size();
    return "." + finalName.substr(0, room) + std::string(kMarker) + suffix;
}

TempEntry::~TempEntry() {
    if (live_)
        sys::UnlinkAt(dirfd_, name_.c_str());
}

UniqueFd TempEntry::CreateFile(const std::string& finalName, mode_t mode) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string name = TempNameFor(finalName, RandomSuffix());
        int fd = sys::OpenAt(dirfd_, name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            name_ = std::move(name);
            live_ = true;
            return UniqueFd(fd);
        }
        if (errno != EEXIST)
            return UniqueFd();
    }
    return UniqueFd();
}

int TempEntry::CreateLink(const std::string& target, const std::string& finalName) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string name = TempNameFor(finalName, RandomSuffix());
        if (sys::SymlinkAt(target.c_str(), dirfd_, name.c_str()) == 0) {
            name_ = std::move(name);
            live_ = true;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

}  // namespace tidyfold::fs
