// The wall clock, and its conversion to the local calendar.
#pragma once

#include <cstdint>

namespace platform {

struct WallTime {
    std::int64_t seconds; // since 1 January 1970, UTC
    int milliseconds;     // within the second, 0 to 999
};

struct LocalTime {
    int year;   // e.g. 2004
    int month;  // 1 to 12
    int day;    // 1 to 31
    int hour;   // 0 to 23
    int minute; // 0 to 59
    int second; // 0 to 59 (60 for a leap second)
};

WallTime wallClock();
LocalTime localCalendar(std::int64_t seconds);

} // namespace platform
