#pragma once
// The wall clock, broken down in the local time zone.

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

}  // namespace tarn
