#pragma once
// Status notifications to systemd (the sd_notify protocol): one datagram to
// the AF_UNIX socket named by $NOTIFY_SOCKET; a name beginning with '@' is in
// the abstract namespace. Without the variable nothing is sent.

#include <string>

#include "platform/Status.h"

namespace tarn {

// Sends `message` (lines "KEY=value") when the program runs under systemd.
Status NotifySystemd(const std::string& message);

}  // namespace tarn
