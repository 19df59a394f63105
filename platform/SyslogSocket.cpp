#include "platform/SyslogSocket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Environment.h"

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
    std::snprintf(stamp, sizeof stamp, "%s %2d %02d:%02d:%02d", kMonths[local.tm_mon % 12],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return "<" + std::to_string(priority) + ">" + stamp + " " + ident + "[" +
           std::to_string(::getpid()) + "]: " + text;
}

Status SendSyslogDatagram(const std::string& socketPath, int priority, const std::string& ident,
                          const std::string& text) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        return Status::Error("syslog socket path too long: " + socketPath, ENAMETOOLONG);
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Status::FromErrno("syslog socket", errno);
    const std::string datagram = FormatSyslogDatagram(priority, ident, text);
    ssize_t sent;
    do {
        sent = ::sendto(fd, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (sent < 0 && errno == EINTR);
    int err = errno;
    ::close(fd);
    if (sent < 0) return Status::FromErrno("syslog " + socketPath, err);
    return Status::Ok();
}

}  // namespace tarn
