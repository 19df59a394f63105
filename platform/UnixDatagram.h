#pragma once
// One datagram to a local (AF_UNIX) datagram socket, for notifications and
// log lines. No state is kept: each call opens and closes its own socket.

#include <string>

#include "platform/Status.h"

namespace tarn {

// Sends `bytes` to the socket named `socketName`: a path, or a name in the
// abstract namespace when it begins with '@'.
Status SendUnixDatagram(const std::string& socketName, const std::string& bytes);

}  // namespace tarn
