#pragma once
// A port for a server a test starts on a port of its choosing.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace tarn::testing {

// A loopback port on which nothing listens now. It lies below the range the
// kernel hands to outgoing connections (32768 and up), so no client socket of
// this or another test takes it while a server that was given it closes its
// listener and opens it again (pause and continue). Each test process starts
// at a place of its own in the range.
inline int UnusedPort() {
    constexpr int kFirst = 20000;
    constexpr int kCount = 12000;
    static std::atomic<int> next{static_cast<int>(::getpid() % 100) * (kCount / 100)};
    for (int tries = 0; tries < kCount; ++tries) {
        const int port = kFirst + next++ % kCount;
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool free = ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(probe);
        if (free) return port;
    }
    return 0;
}

}  // namespace tarn::testing
