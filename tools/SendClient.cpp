#include "tools/SendClient.h"

#include <cstdlib>

#include "platform/Socket.h"

namespace tarn {
namespace {

constexpr const char* kGreeting = "Hi\n";
constexpr const char* kAcknowledge = "ROGER_CMD\n";
constexpr const char* kOkReply = "ok\n";
// Bytes read per receive.
constexpr size_t kChunk = 4096;

std::string LineEnd(const SendOptions& options) { return options.crlf ? "\r\n" : "\n"; }

// Receives until `expected` is complete or the peer closes.
Status ReceiveUntil(SocketHandle socket, const std::string& expected, std::string* replies) {
    char buffer[kChunk];
    while (replies->find(expected) == std::string::npos) {
        size_t n = 0;
        Status status = ReceiveSome(socket, buffer, sizeof buffer, &n);
        if (!status.ok()) return status;
        if (n == 0) return Status::Error("the server closed the connection");
        replies->append(buffer, n);
    }
    return Status::Ok();
}

}  // namespace

std::string SendUsage() {
    return "usage: tarn-send [--host HOST] [--port PORT] --section SECTION [--name RAWNAME]\n"
           "                 [--email 'ADDRESSES^SUBJECT^NAME^BODY']... [--lf] FILE\n"
           "Sends FILE as one report, prints the server's replies, exits 0 only on \"ok\".\n";
}

bool ParseSendArguments(int argc, const char* const* argv, SendOptions* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--host") {
            if (!value(&options->host)) return false;
        } else if (arg == "--port") {
            if (!value(&v)) return false;
            char* end = nullptr;
            long port = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || port < 1 || port > 65535) {
                *error = "invalid port: " + v;
                return false;
            }
            options->port = static_cast<std::uint16_t>(port);
        } else if (arg == "--section") {
            if (!value(&options->section)) return false;
        } else if (arg == "--name") {
            if (!value(&options->rawName)) return false;
        } else if (arg == "--email") {
            if (!value(&v)) return false;
            options->emails.push_back(v);
        } else if (arg == "--lf") {
            options->crlf = false;
        } else if (arg == "--crlf") {
            options->crlf = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            *error = "unknown option: " + arg;
            return false;
        } else if (options->file.empty()) {
            options->file = arg;
        } else {
            *error = "only one file can be sent";
            return false;
        }
    }
    if (options->section.empty() || options->file.empty()) {
        *error = "a section and a file are required";
        return false;
    }
    if (options->rawName.empty()) {
        std::string::size_type slash = options->file.find_last_of('/');
        options->rawName = slash == std::string::npos ? options->file : options->file.substr(slash + 1);
    }
    return true;
}

std::string BuildRunLine(const SendOptions& options) {
    return "_RUN_\x02" + options.rawName + "\x02" + options.section + "\r\n";
}

std::string BuildReportBytes(const SendOptions& options, const std::string& text) {
    const std::string end = LineEnd(options);
    std::string out = "_RAWFILE_" + end;
    for (const std::string& email : options.emails)
        out +=
            "\x02"
            "email:" +
            email + end;
    std::string::size_type pos = 0;
    while (pos < text.size()) {
        std::string::size_type lf = text.find('\n', pos);
        std::string line = text.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out += line + end;
        pos = lf == std::string::npos ? text.size() : lf + 1;
    }
    return out + "_EOF_" + end;
}

Status SendReport(const SendOptions& options, const std::string& text, std::string* replies) {
    replies->clear();
    SocketHandle socket = kNoSocket;
    Status status = ConnectTcp(options.host, options.port, &socket);
    if (!status.ok()) return status;
    status = ReceiveUntil(socket, kGreeting, replies);
    if (status.ok()) {
        std::string run = BuildRunLine(options);
        status = SendAll(socket, run.data(), run.size());
    }
    if (status.ok()) status = ReceiveUntil(socket, kAcknowledge, replies);
    if (status.ok()) {
        std::string body = BuildReportBytes(options, text);
        status = SendAll(socket, body.data(), body.size());
    }
    // Read every reply until the server closes the connection.
    char buffer[kChunk];
    for (;;) {
        size_t n = 0;
        if (!ReceiveSome(socket, buffer, sizeof buffer, &n).ok() || n == 0) break;
        replies->append(buffer, n);
    }
    CloseSocket(socket);
    return status;
}

bool ReplyIsOk(const std::string& replies) {
    std::string::size_type ack = replies.find(kAcknowledge);
    return ack != std::string::npos &&
           replies.compare(ack + std::string(kAcknowledge).size(), 3, kOkReply) == 0;
}

}  // namespace tarn
