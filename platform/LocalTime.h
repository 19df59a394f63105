#pragma once
// The wall clock, broken down in the local time zone.

#include <cstdint>

namespace tarn {

struct LocalDateTime {
    int year = 0;   // four digits
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;   // 0 to 23
    int minute = 0;
    int second = 0;
    int weekday = 0;           // 0 = Sunday
    int utcOffsetMinutes = 0;  // local time minus UTC
};

// The current local date and time. Safe to call from any thread.
LocalDateTime CurrentLocalTime();
// The local date and time of a Unix time (seconds). Safe on any thread.
LocalDateTime LocalTimeAt(std::int64_t unixSeconds);
// The Unix time (seconds) of a local date and time; the fields may lie
// outside their ranges (hour 25 is 1 o'clock the next day).
std::int64_t UnixTimeOfLocal(int year, int month, int day, int hour, int minute, int second);

}  // namespace tarn
