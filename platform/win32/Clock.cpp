#include "platform/Clock.h"

#include <windows.h>

namespace platform {

namespace {

// FILETIME counts 100-nanosecond intervals since 1 January 1601.
constexpr std::uint64_t kTicksPerMillisecond = 10000;
constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint64_t kTicksFrom1601To1970 = 116444736000000000ULL;

std::uint64_t ticksOf(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

WallTime wallClock() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = ticksOf(now) - kTicksFrom1601To1970;
    return WallTime{static_cast<std::int64_t>(ticks / kTicksPerSecond),
                    static_cast<int>((ticks % kTicksPerSecond) / kTicksPerMillisecond)};
}

LocalTime localCalendar(std::int64_t seconds) {
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(seconds) * kTicksPerSecond + kTicksFrom1601To1970;
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(ticks);
    utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    FILETIME local;
    SYSTEMTIME calendar{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &calendar)) {
        FileTimeToSystemTime(&utc, &calendar);
    }
    return LocalTime{calendar.wYear, calendar.wMonth,  calendar.wDay,
                     calendar.wHour, calendar.wMinute, calendar.wSecond};
}

} // namespace platform
