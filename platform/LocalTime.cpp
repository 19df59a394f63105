#include "platform/LocalTime.h"

#include <ctime>

namespace tarn {

LocalDateTime CurrentLocalTime() {
    std::time_t now = std::time(nullptr);
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

}  // namespace tarn
