#include "platform/LocalTime.h"

#include <ctime>

namespace tarn {

LocalDateTime CurrentLocalTime() { return LocalTimeAt(static_cast<std::int64_t>(std::time(nullptr))); }

LocalDateTime LocalTimeAt(std::int64_t unixSeconds) {
    std::time_t now = static_cast<std::time_t>(unixSeconds);
    struct tm parts {};
    localtime_r(&now, &parts);
    LocalDateTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.weekday = parts.tm_wday;
    t.utcOffsetMinutes = static_cast<int>(parts.tm_gmtoff / 60);
    return t;
}

std::int64_t UnixTimeOfLocal(int year, int month, int day, int hour, int minute, int second) {
    struct tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&parts));
}

}  // namespace tarn
