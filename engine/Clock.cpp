#include "engine/Clock.h"

#include <chrono>

namespace tidyfold {

Clock SystemClock() {
    return [] {
        using namespace std::chrono;
        // system_clock counts UTC seconds since 1970 (leap seconds aside),
        // whatever the local time zone.
        return static_cast<std::int64_t>(
            duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
    };
}

}  // namespace tidyfold
