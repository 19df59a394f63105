#pragma once
// System events sent as syslog datagrams to a local socket of our choosing,
// so that the destination can be redirected ($TARN_SYSLOG_SOCKET, for tests
// and for hosts whose log collector listens elsewhere). One datagram per
// event, in the format the C library's syslog uses:
//   "<PRI>Mmm dd hh:mm:ss IDENT[PID]: TEXT"
// journald reads the same format on /dev/log.

#include <string>

#include "platform/Status.h"

namespace tarn {

// Environment variable naming the socket that system events go to.
inline constexpr const char* kSyslogSocketVariable = "TARN_SYSLOG_SOCKET";

// The socket named by $TARN_SYSLOG_SOCKET, empty when the variable is unset.
std::string SyslogSocketOverride();

// One datagram line for `priority` (facility and level, as syslog(3) takes it).
std::string FormatSyslogDatagram(int priority, const std::string& ident, const std::string& text);

// Sends one event to the datagram socket at `socketPath`. No state is kept:
// each call opens and closes its own socket, so any thread may call it.
Status SendSyslogDatagram(const std::string& socketPath, int priority, const std::string& ident,
                          const std::string& text);

}  // namespace tarn
