#pragma once

// How old a file is for the Clean pass.

#include <algorithm>
#include <cstdint>
#include <limits>

#include "fs/FileSystem.h"

namespace tidyfold::ageing {

inline constexpr std::int64_t kNsPerSecond = 1'000'000'000;
inline constexpr double kNsPerDay = 86400e9;

// A file's last use is the newest of its three times: on a file system that
// keeps no access times a file in daily use would otherwise look abandoned,
// and a file moved onto the Desktop today counts as new.
inline std::int64_t LastUseNs(const fs::FileTimes& times) {
    return std::max({times.access_ns, times.modify_ns, times.change_ns});
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
