#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace tarn {

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

Status AcceptConnection(SocketHandle listener, SocketHandle* connection) {
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
    if (fd < 0) {
        *connection = kNoSocket;
        return Status::FromErrno("accept", errno);
    }
    // Replies are a few short sends in a row; do not hold them back for acks.
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    *connection = fd;
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
