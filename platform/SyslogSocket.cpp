#include "platform/SyslogSocket.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Environment.h"
#include "platform/UnixDatagram.h"

namespace tarn {

std::string SyslogSocketOverride() { return EnvironmentValue(kSyslogSocketVariable); }

std::string FormatSyslogDatagram(int priority, const std::string& ident, const std::string& text) {
    time_t now = ::time(nullptr);
    struct tm local;
    ::localtime_r(&now, &local);
    char stamp[32];
    // Month names in English whatever the locale, as syslog readers expect.
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::snprintf(stamp, sizeof stamp, "%s %2d %02d:%02d:%02d", kMonths[local.tm_mon % 12], local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    return "<" + std::to_string(priority) + ">" + stamp + " " + ident + "[" + std::to_string(::getpid()) +
           "]: " + text;
}

Status SendSyslogDatagram(const std::string& socketPath, int priority, const std::string& ident,
                          const std::string& text) {
    return SendUnixDatagram(socketPath, FormatSyslogDatagram(priority, ident, text));
}

}  // namespace tarn
