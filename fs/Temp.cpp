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

#include "fs/FreeName.h"

namespace tidyfold::fs {

namespace {

constexpr std::string_view kMarker = ".tidyfold-tmp-";
constexpr std::size_t kSuffix = 6;
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
    std::string suffix(kSuffix, 'x');
    for (char& c : suffix) {
        value = value * 6364136223846793005ULL + 1442695040888963407ULL;
        c = kAlphabet[(value >> 33) % (sizeof kAlphabet - 1)];
    }
    return suffix;
}

// The letters RandomSuffix draws from, whatever the locale.
bool IsSuffixLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

std::string TempNameFor(const std::string& finalName, const std::string& suffix) {
    std::size_t room = NAME_MAX - 1 - kMarker.size() - suffix.size();
    // Cut between characters: drives that keep names as UTF-16 refuse half
    // of one.
    return "." + CutAt(finalName, room) + std::string(kMarker) + suffix;
}

std::string NewTempNameFor(const std::string& finalName) { return TempNameFor(finalName, RandomSuffix()); }

std::string TempStemOf(const std::string& finalName) { return CutAt(finalName, NAME_MAX - 1 - kMarker.size() - kSuffix); }

std::optional<std::string> TempNameStem(const std::string& name) {
    // "." + stem + marker + six letters or digits, the stem not empty.
    if (name.size() < 2 + kMarker.size() + kSuffix || name[0] != '.')
        return std::nullopt;
    const std::size_t suffixAt = name.size() - kSuffix;
    for (std::size_t i = suffixAt; i < name.size(); ++i)
        if (!IsSuffixLetter(name[i]))
            return std::nullopt;
    const std::size_t markerAt = suffixAt - kMarker.size();
    if (name.compare(markerAt, kMarker.size(), kMarker) != 0)
        return std::nullopt;
    return name.substr(1, markerAt - 1);
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
