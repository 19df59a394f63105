#include "platform/SystemdNotify.h"

#include "platform/Environment.h"
#include "platform/UnixDatagram.h"

namespace tarn {

Status NotifySystemd(const std::string& message) {
    const std::string socketName = EnvironmentValue("NOTIFY_SOCKET");
    if (socketName.empty()) return Status::Ok();
    return SendUnixDatagram(socketName, message);
}

}  // namespace tarn
