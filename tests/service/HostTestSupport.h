#pragma once
// Helpers for the service host's tests: the shared scratch folder and file
// readers, and a datagram socket that collects what is sent to it.

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "tests/support/TempFolder.h"

namespace tarn::testing {

// A bound AF_UNIX datagram socket that receives with a bounded wait.
class DatagramReceiver {
  public:
    explicit DatagramReceiver(const std::string& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (path[0] == '@') address.sun_path[0] = '\0';
        socklen_t length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (path[0] == '@' ? 0 : 1));
        bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0;
    }
    ~DatagramReceiver() {
        if (fd_ >= 0) ::close(fd_);
        if (path_[0] != '@') ::unlink(path_.c_str());
    }
    DatagramReceiver(const DatagramReceiver&) = delete;
    DatagramReceiver& operator=(const DatagramReceiver&) = delete;

    bool bound() const { return bound_; }
    // The next datagram, or "" when none arrives within `wait`.
    std::string Receive(std::chrono::milliseconds wait = std::chrono::milliseconds(5000)) {
        pollfd pfd{fd_, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(wait.count())) <= 0) return std::string();
        char buffer[65536];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }

  private:
    std::string path_;
    int fd_ = -1;
    bool bound_ = false;
};

}  // namespace tarn::testing
