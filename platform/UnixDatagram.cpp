#include "platform/UnixDatagram.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace tarn {

Status SendUnixDatagram(const std::string& socketName, const std::string& bytes) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketName.empty() || socketName.size() >= sizeof address.sun_path) {
        return Status::Error("unusable socket name: " + socketName, ENAMETOOLONG);
    }
    const bool abstract = socketName[0] == '@';
    std::memcpy(address.sun_path, socketName.data(), socketName.size());
    if (abstract) address.sun_path[0] = '\0';
    // An abstract name is exactly its bytes; a path ends at its NUL.
    const socklen_t length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketName.size() + (abstract ? 0 : 1));

    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Status::FromErrno("datagram socket", errno);
    ssize_t sent;
    do {
        sent = ::sendto(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&address), length);
    } while (sent < 0 && errno == EINTR);
    int err = errno;
    ::close(fd);
    if (sent < 0) return Status::FromErrno("send to " + socketName, err);
    return Status::Ok();
}

}  // namespace tarn
