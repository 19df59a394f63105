#pragma once
// Helpers for end-to-end tests of TARNSvr: the real program started in a
// temporary folder with its own TARN.ini (the binary is hard-linked there,
// so that folder is its program folder), listening on 127.0.0.1 on a port
// the kernel picks, and a plain BSD-socket client with bounded waits.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "HostTestSupport.h"
#include "service/host/ServiceIdentity.h"

namespace tarn::testing {

using Clock = std::chrono::steady_clock;

// A TARNSvr process in `folder`, its standard output kept in folder/console.txt.
class ServerProcess {
  public:
    ~ServerProcess() {
        Stop();
        std::error_code ec;
        if (!registry_.empty()) std::filesystem::remove_all(registry_, ec);
    }

    // Links the program into `folder`, writes TARN.ini and starts it; waits
    // until the console shows the port. `maxFiles` > 0 limits its descriptors.
    // A `launcher` (a program and its arguments) is run instead, with the
    // program's path as its last argument.
    bool Start(const std::string& folder, const std::string& ini, rlim_t maxFiles = 0,
               const std::vector<std::string>& launcher = {}) {
        folder_ = folder;
        registry_ = folder + ".registry";  // beside the program's folder, not in it
        std::string program = folder + "/TARNSvr";
        std::error_code ec;
        std::filesystem::create_hard_link(TARN_BIN_DIR "/TARNSvr", program, ec);
        if (ec) std::filesystem::copy_file(TARN_BIN_DIR "/TARNSvr", program, ec);
        std::ofstream(folder + "/TARN.ini", std::ios::binary) << ini;
        // A restart in the same folder must not read the port of the run before.
        std::filesystem::remove(folder + "/console.txt", ec);
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            EndWithParent(parent);
            FILE* out = std::fopen((folder + "/console.txt").c_str(), "w");
            if (out == nullptr) _exit(127);
            ::dup2(fileno(out), STDOUT_FILENO);
            ::dup2(fileno(out), STDERR_FILENO);
            ::setenv("TARN_LISTEN_ADDRESS", "127.0.0.1", 1);
            // Registered as a plain server in a registry of its own: console mode.
            std::filesystem::create_directories(registry_ + "/HKEY_CLASSES_ROOT/AppID/" + kAppIdGuid);
            ::setenv("TARN_REGISTRY_ROOT", registry_.c_str(), 1);
            if (maxFiles > 0) {
                rlimit limit{maxFiles, maxFiles};
                ::setrlimit(RLIMIT_NOFILE, &limit);
            }
            if (!launcher.empty()) {
                std::vector<std::string> args = launcher;
                args.push_back(program);
                std::vector<char*> argv;
                for (std::string& a : args) argv.push_back(a.data());
                argv.push_back(nullptr);
                ::execv(argv[0], argv.data());
                _exit(127);
            }
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        std::smatch match;
        return WaitForConsole(std::regex("Port: ([0-9]+)\n"), &match) &&
               (port_ = std::stoi(match[1].str())) > 0;
    }

    // Waits (at most `limit`) until the console output matches `pattern`.
    bool WaitForConsole(const std::regex& pattern, std::smatch* match = nullptr,
                        std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        auto deadline = Clock::now() + limit;
        std::smatch local;
        do {
            console_ = ReadText(folder_ + "/console.txt");
            if (std::regex_search(console_, match ? *match : local, pattern)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (Clock::now() < deadline && Running());
        return false;
    }

    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid_ = -1;
            return false;
        }
        return true;
    }

    // Waits for the program to end by itself; its exit status, -1 on time-out.
    int WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        auto deadline = Clock::now() + limit;
        while (Running() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Running() ? -1 : exitStatus_;
    }

    void Stop() {
        if (!Running()) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    std::string Console() { return console_ = ReadText(folder_ + "/console.txt"); }

  private:
    std::string folder_;
    std::string registry_;
    std::string console_;
    pid_t pid_ = -1;
    int port_ = 0;
    int exitStatus_ = -1;
};

// A TCP client on 127.0.0.1 with bounded waits.
class TestClient {
  public:
    explicit TestClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~TestClient() { Close(); }
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool connected() const { return connected_; }

    bool Send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Reads until `expected` has arrived, the peer closes or time runs out;
    // returns everything read so far (kept across calls).
    std::string ReadUntil(const std::string& expected,
                          std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        auto deadline = Clock::now() + limit;
        while (received_.find(expected) == std::string::npos && !closed_) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[4096];
            ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed_ = true;
                break;
            }
            received_.append(buffer, static_cast<size_t>(n));
        }
        return received_;
    }
    // Reads until the server closes the connection (bounded).
    std::string ReadAll(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return ReadUntil(std::string(1, '\0') + "never", limit);
    }
    bool closedByPeer() const { return closed_; }

    void ShutdownWrite() { ::shutdown(fd_, SHUT_WR); }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
    bool connected_ = false;
    bool closed_ = false;
    std::string received_;
};

// The command line of a job.
inline std::string RunLine(const std::string& rawName, const std::string& section) {
    return "_RUN_\x02" + rawName + "\x02" + section + "\r\n";
}

// One job on a new connection to `port`: the greeting awaited, the command
// line, its acknowledgement, then `body`; everything the server sent.
inline std::string SendJob(int port, const std::string& rawName, const std::string& section,
                           const std::string& body, std::chrono::seconds limit) {
    TestClient client(port);
    client.ReadUntil("Hi\n");
    client.Send(RunLine(rawName, section));
    client.ReadUntil("ROGER_CMD\n");
    client.Send(body);
    return client.ReadAll(limit);
}

}  // namespace tarn::testing
