#pragma once
// TCP sockets. A socket is a plain descriptor value; kNoSocket means none.
// Every function may be called from any thread; a socket itself is used by
// one thread at a time, except that ShutdownSocket may wake another thread
// blocked in AcceptConnection on the same listening socket.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Status.h"

namespace tarn {

using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;

// An IPv4 or IPv6 address in IPv6 form: an IPv4 address a.b.c.d is held as
// the IPv4-mapped ::ffff:a.b.c.d, so one comparison serves both families.
struct IpAddress {
    std::array<std::uint8_t, 16> bytes{};
};
// Length in bits of the IPv4-mapped prefix ::ffff:0:0/96.
inline constexpr int kMappedPrefixBits = 96;

// Reads dotted IPv4 or textual IPv6; false when `text` is neither.
bool ParseIpAddress(const std::string& text, IpAddress* address);
// True when `address` is an IPv4-mapped address.
bool IsMappedIPv4(const IpAddress& address);
// Dotted text for a mapped IPv4 address, IPv6 text otherwise.
std::string IpAddressText(const IpAddress& address);

// Creates a TCP socket bound to `address` (dotted IPv4; empty means every
// local address) and `port` (0 picks a free one), with SO_REUSEADDR, and
// listens with the platform's largest backlog. Status code: errno.
Status ListenTcp(const std::string& address, std::uint16_t port, SocketHandle* listener);
// The local port a socket is bound to, 0 when unknown.
std::uint16_t BoundPort(SocketHandle socket);
// Waits for the next connection; *peer (when given) receives the address it
// came from. Status code: errno of the failure.
Status AcceptConnection(SocketHandle listener, SocketHandle* connection, IpAddress* peer = nullptr);
// Makes a receive that waits longer than `seconds` fail; 0 waits for ever.
// (Sends are not bounded: the replies are a few bytes.)
Status SetSocketTimeout(SocketHandle socket, int seconds);
// True for accept failures that concern one connection or a passing
// shortage, after which accepting may go on.
bool IsTransientAcceptError(int err);
// True for accept failures caused by too many open files or too little
// memory: waiting a moment before the next accept helps.
bool IsResourceAcceptError(int err);
// Connects to `host` (name or dotted IPv4) and `port`.
Status ConnectTcp(const std::string& host, std::uint16_t port, SocketHandle* connection);

// Sends all bytes; never raises SIGPIPE.
Status SendAll(SocketHandle socket, const char* data, size_t size);
// Receives at most `capacity` bytes once. *received is 0 when the peer has
// closed the connection.
Status ReceiveSome(SocketHandle socket, char* buffer, size_t capacity, size_t* received);
// Stops both directions; wakes a thread blocked in accept or receive.
void ShutdownSocket(SocketHandle socket);
// Ends the sending direction only: the peer reads what was sent, then the end.
void ShutdownSending(SocketHandle socket);
Status CloseSocket(SocketHandle socket);

// The local host name, empty when unknown.
std::string LocalHostName();
// The first IPv4 address `host` resolves to, as dotted text; empty when none.
std::string FirstIPv4Address(const std::string& host);

}  // namespace tarn
