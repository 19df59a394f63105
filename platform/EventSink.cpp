#include "platform/EventSink.h"

#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "platform/SyslogSocket.h"

namespace tarn {
namespace {

// Identity under which events reach syslog.
constexpr const char* kSyslogIdent = "TARNSvr";

int SyslogPriority(EventType type) {
    switch (type) {
    case EventType::kError:
        return LOG_ERR;
    case EventType::kSuccess:
        return LOG_NOTICE;
    case EventType::kInformation:
        break;
    }
    return LOG_INFO;
}

}  // namespace

void PlatformEventSink::WriteConsoleLine(const std::string& text) {
    std::string line = text + "\n";
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(STDOUT_FILENO, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // nowhere to report a failing console
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

void PlatformEventSink::WriteSystemEvent(EventType type, std::uint32_t id, const std::string& text) {
    // A log socket named in the environment takes the events in place of the system log.
    const std::string socketPath = SyslogSocketOverride();
    if (!socketPath.empty()) {
        SendSyslogDatagram(socketPath, LOG_DAEMON | SyslogPriority(type), kSyslogIdent,
                           FormatSystemEvent(id, text));
        return;
    }
    // openlog is idempotent; LOG_NDELAY keeps the connection for later calls.
    ::openlog(kSyslogIdent, LOG_PID | LOG_NDELAY, LOG_DAEMON);
    // The text is an argument, never the format.
    ::syslog(LOG_DAEMON | SyslogPriority(type), "%s", FormatSystemEvent(id, text).c_str());
}

EventSink& PlatformEvents() {
    static PlatformEventSink sink;
    return sink;
}

std::string FormatSystemEvent(std::uint32_t id, const std::string& text) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X ", static_cast<unsigned>(id));
    return hex + text;
}

void IgnoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace tarn
