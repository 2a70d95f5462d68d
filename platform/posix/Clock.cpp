#include "platform/Clock.h"

#include <sys/time.h>
#include <time.h>

namespace platform {

WallTime wallClock() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return WallTime{static_cast<std::int64_t>(now.tv_sec), static_cast<int>(now.tv_usec / 1000)};
}

LocalTime localCalendar(std::int64_t seconds) {
    const time_t when = static_cast<time_t>(seconds);
    tm calendar{};
    localtime_r(&when, &calendar);
    return LocalTime{calendar.tm_year + 1900, calendar.tm_mon + 1, calendar.tm_mday,
                     calendar.tm_hour,        calendar.tm_min,     calendar.tm_sec};
}

} // namespace platform
