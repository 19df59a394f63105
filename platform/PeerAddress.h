#pragma once
// The address of the other end of a connected socket.

#include <cstdint>
#include <string>

#include "platform/Socket.h"

namespace tarn {

// The peer's address as text (dotted IPv4, or IPv6) and its port.
Status PeerAddress(SocketHandle socket, std::string* address, std::uint16_t* port);

}  // namespace tarn
