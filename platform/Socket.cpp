#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace tarn {
namespace {

void StoreMapped(const in_addr& in, IpAddress* address) {
    address->bytes = {};
    address->bytes[10] = 0xFF;
    address->bytes[11] = 0xFF;
    std::memcpy(&address->bytes[12], &in.s_addr, 4);
}

}  // namespace

bool ParseIpAddress(const std::string& text, IpAddress* address) {
    in_addr v4{};
    if (::inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        StoreMapped(v4, address);
        return true;
    }
    in6_addr v6{};
    if (::inet_pton(AF_INET6, text.c_str(), &v6) != 1) return false;
    std::memcpy(address->bytes.data(), v6.s6_addr, address->bytes.size());
    return true;
}

bool IsMappedIPv4(const IpAddress& address) {
    static const std::uint8_t kPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    return std::memcmp(address.bytes.data(), kPrefix, sizeof kPrefix) == 0;
}

std::string IpAddressText(const IpAddress& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (IsMappedIPv4(address)) {
        ::inet_ntop(AF_INET, &address.bytes[12], text, sizeof text);
    } else {
        ::inet_ntop(AF_INET6, address.bytes.data(), text, sizeof text);
    }
    return text;
}

Status ListenTcp(const std::string& address, std::uint16_t port, SocketHandle* listener) {
    *listener = kNoSocket;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!address.empty() && ::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1)
        return Status::Error("invalid listen address " + address, EINVAL);

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Status::FromErrno("socket", errno);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int err = errno;
        ::close(fd);
        return Status::FromErrno("bind port " + std::to_string(port), err);
    }
    if (::listen(fd, SOMAXCONN) != 0) {
        int err = errno;
        ::close(fd);
        return Status::FromErrno("listen", err);
    }
    *listener = fd;
    return Status::Ok();
}

std::uint16_t BoundPort(SocketHandle socket) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

Status AcceptConnection(SocketHandle listener, SocketHandle* connection, IpAddress* peer) {
    sockaddr_storage from{};
    socklen_t len = sizeof from;
    int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&from), &len, SOCK_CLOEXEC);
    if (fd < 0) {
        *connection = kNoSocket;
        return Status::FromErrno("accept", errno);
    }
    if (peer != nullptr) {
        *peer = IpAddress{};
        if (from.ss_family == AF_INET) {
            StoreMapped(reinterpret_cast<const sockaddr_in*>(&from)->sin_addr, peer);
        } else if (from.ss_family == AF_INET6) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&from);
            std::memcpy(peer->bytes.data(), in6->sin6_addr.s6_addr, peer->bytes.size());
        }
    }
    // Replies are a few short sends in a row; do not hold them back for acks.
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    *connection = fd;
    return Status::Ok();
}

Status SetSocketTimeout(SocketHandle socket, int seconds) {
    timeval limit{};
    limit.tv_sec = seconds;
    if (::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0)
        return Status::FromErrno("socket time-out", errno);
    return Status::Ok();
}

bool IsTransientAcceptError(int err) {
    switch (err) {
    case EINTR:
    case ECONNABORTED:
    case ECONNRESET:
    case EPROTO:
    case EPERM:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case EAGAIN:
        return true;
    default:
        return IsResourceAcceptError(err);
    }
}

bool IsResourceAcceptError(int err) {
    return err == EMFILE || err == ENFILE || err == ENOBUFS || err == ENOMEM;
}

Status ConnectTcp(const std::string& host, std::uint16_t port, SocketHandle* connection) {
    *connection = kNoSocket;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) return Status::Error(host + ": " + ::gai_strerror(rc));
    Status result = Status::Error(host + ": no address");
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            result = Status::FromErrno("socket", errno);
            continue;
        }
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            *connection = fd;
            result = Status::Ok();
            break;
        }
        result = Status::FromErrno(host + ":" + std::to_string(port), errno);
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return result;
}

Status SendAll(SocketHandle socket, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(socket, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Status::FromErrno("send", errno);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return Status::Ok();
}

Status ReceiveSome(SocketHandle socket, char* buffer, size_t capacity, size_t* received) {
    *received = 0;
    for (;;) {
        ssize_t n = ::recv(socket, buffer, capacity, 0);
        if (n >= 0) {
            *received = static_cast<size_t>(n);
            return Status::Ok();
        }
        if (errno != EINTR) return Status::FromErrno("recv", errno);
    }
}

void ShutdownSocket(SocketHandle socket) { ::shutdown(socket, SHUT_RDWR); }

void ShutdownSending(SocketHandle socket) { ::shutdown(socket, SHUT_WR); }

Status CloseSocket(SocketHandle socket) {
    if (::close(socket) != 0) return Status::FromErrno("close socket", errno);
    return Status::Ok();
}

std::string LocalHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return std::string();
    return name;
}

std::string FirstIPv4Address(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return std::string();
    std::string text;
    if (found != nullptr) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        const auto* b = reinterpret_cast<const unsigned char*>(&in->sin_addr.s_addr);
        text = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
               std::to_string(b[3]);
    }
    ::freeaddrinfo(found);
    return text;
}

}  // namespace tarn
