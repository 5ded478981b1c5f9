#pragma once

// How old a file is for the Clean pass.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "fs/FileSystem.h"

namespace tidyfold::ageing {

inline constexpr std::int64_t kNsPerSecond = 1'000'000'000;
inline constexpr double kNsPerDay = 86400e9;

// A file's last use is the newest of its three times: on a file system that
// keeps no access times a file in daily use would otherwise look abandoned,
// and a file moved onto the Desktop today counts as new. The desktop's
// record of opened files adds a fourth (LastUseOf), for a file only read.
inline std::int64_t LastUseNs(const fs::FileTimes& times) {
    return std::max({times.access_ns, times.modify_ns, times.change_ns});
}

// Which time gave a file's last use.
enum class LastUseFrom {
    Changed,        // its contents were written (modification time)
    Read,           // it was read (access time)
    StatusChanged,  // it was moved, renamed, linked or its permissions changed
    Opened,         // the desktop's record of opened files
};

// When a file was last used and what says so.
struct LastUse {
    std::int64_t ns = 0;
    LastUseFrom from = LastUseFrom::Changed;
    // For Opened: the application the record names, when it names one.
    std::string application;
};

// The newest of a file's own times and the time the desktop's record gives
// it (openedNs, when it has one). Where two agree, its own times come first,
// and of those the write: it says the most.
inline LastUse LastUseOf(const fs::FileTimes& times, std::optional<std::int64_t> openedNs = std::nullopt,
                         std::string application = {}) {
    LastUse use{times.modify_ns, LastUseFrom::Changed, {}};
    if (times.access_ns > use.ns)
        use = {times.access_ns, LastUseFrom::Read, {}};
    if (times.change_ns > use.ns)
        use = {times.change_ns, LastUseFrom::StatusChanged, {}};
    if (openedNs && *openedNs > use.ns)
        use = {*openedNs, LastUseFrom::Opened, std::move(application)};
    return use;
}

// Days, with fractions, from lastUseNs to nowSeconds, both on the UTC clock.
// Whole seconds are subtracted as integers first so that an age of exactly N
// days comes out as exactly N.
inline double AgeInDays(std::int64_t nowSeconds, std::int64_t lastUseNs) {
    std::int64_t seconds = lastUseNs / kNsPerSecond;
    std::int64_t fraction = lastUseNs % kNsPerSecond;
    if (fraction < 0) {
        fraction += kNsPerSecond;
        --seconds;
    }
    std::int64_t elapsed = 0;
    if (__builtin_sub_overflow(nowSeconds, seconds, &elapsed))
        return nowSeconds < seconds ? -std::numeric_limits<double>::infinity()
                                    : std::numeric_limits<double>::infinity();
    return (static_cast<double>(elapsed) * 1e9 - static_cast<double>(fraction)) / kNsPerDay;
}

// Collected only when strictly older than the limit.
inline bool IsOlderThan(double ageDays, float limitDays) { return ageDays > static_cast<double>(limitDays); }

}  // namespace tidyfold::ageing
