#pragma once
// A real SMTP server for tests (smtp_server.py over python3-aiosmtpd) on
// 127.0.0.1 and a free port, plus a way to run a program and collect its
// output streams.

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/stubs/StandIn.h"
#include "tests/support/UnusedPort.h"

namespace tarn::testing {

// The script's answers about one received message (folder msg-N).
struct ReceivedMail {
    std::string folder;
    std::string Get(const std::string& file) const { return ReadFile(folder + file); }
    std::string Header(const std::string& name) const { return Get("header-" + name); }
};

struct SmtpServerOptions {
    std::string user, password;  // AUTH demanded when set
    std::string refuse;          // recipients holding this are refused
    std::string tls = "";        // "starttls" or "smtps", with the certificate below
    std::string certificate = "", key = "";
    int dropFirst = 0;  // the first N messages: connection closed mid-message
};

class SmtpTestServer {
  public:
    using Options = SmtpServerOptions;

    explicit SmtpTestServer(const std::string& outDir, const Options& options = Options()) : outDir_(outDir) {
        std::vector<std::string> args = {"/usr/bin/python3",
                                         std::string(TARN_SOURCE_DIR) + "/tests/mailer/smtp_server.py",
                                         outDir, "--lifetime", "600"};
        if (!options.user.empty())
            args.insert(args.end(), {"--user", options.user, "--password", options.password});
        if (!options.refuse.empty()) args.insert(args.end(), {"--refuse", options.refuse});
        if (options.dropFirst > 0)
            args.insert(args.end(), {"--drop-first", std::to_string(options.dropFirst)});
        if (!options.tls.empty()) {
            args.insert(args.end(),
                        {"--tls", options.tls, "--cert", options.certificate, "--key", options.key});
        }
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            EndWithParent(parent);
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        // The port is the first line; give the interpreter a bounded time to start.
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0) {
            char buffer[64];
            ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            line.append(buffer, static_cast<size_t>(n));
        }
        close(out[0]);
        port_ = std::atoi(line.c_str());
    }

    ~SmtpTestServer() {
        if (stdin_ >= 0) close(stdin_);
        if (pid_ <= 0) return;
        for (int i = 0; i < 100; ++i) {  // up to 5 s to end by itself
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

    int port() const { return port_; }
    bool running() const { return port_ > 0; }

    // Message n (1-based) once it is complete, waiting a bounded time.
    bool Mail(int n, ReceivedMail* mail) const {
        std::string folder = outDir_ + "msg-" + std::to_string(n) + "/";
        for (int i = 0; i < 100 && !Exists(folder + "complete"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        mail->folder = folder;
        return Exists(folder + "complete");
    }
    bool HasMail(int n) const { return Exists(outDir_ + "msg-" + std::to_string(n)); }

  private:
    std::string outDir_;
    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
};

// A test CA and a server certificate for 127.0.0.1 that it signed, made
// with openssl in `folder`: ca.pem, server.pem and server.key.
struct TestCertificates {
    std::string ca, certificate, key;
};
inline TestCertificates MakeTestCertificates(const std::string& folder) {
    const std::string ec[] = {"-newkey", "ec",    "-pkeyopt", "ec_paramgen_curve:prime256v1",
                              "-nodes",  "-days", "2"};
    std::vector<std::string> ca = {"/usr/bin/openssl", "req",  "-x509",           "-keyout",
                                   folder + "ca.key",  "-out", folder + "ca.pem", "-subj",
                                   "/CN=TARN test CA"};
    std::vector<std::string> server = {"/usr/bin/openssl",
                                       "req",
                                       "-x509",
                                       "-CA",
                                       folder + "ca.pem",
                                       "-CAkey",
                                       folder + "ca.key",
                                       "-keyout",
                                       folder + "server.key",
                                       "-out",
                                       folder + "server.pem",
                                       "-subj",
                                       "/CN=127.0.0.1",
                                       "-addext",
                                       "subjectAltName=IP:127.0.0.1",
                                       "-addext",
                                       "basicConstraints=critical,CA:FALSE"};
    for (std::vector<std::string>* command : {&ca, &server}) {
        command->insert(command->end(), std::begin(ec), std::end(ec));
        RunAndCapture(*command, folder);
    }
    return {folder + "ca.pem", folder + "server.pem", folder + "server.key"};
}

}  // namespace tarn::testing
