#pragma once
// Hands one message to an SMTP server through libcurl, in clear text or
// over TLS with the server's certificate and name verified.

#include <string>
#include <vector>

namespace tarn::mailer {

// Why a message was not accepted, each with its own exit status.
enum class SendOutcome {
    kAccepted = 0,
    kCannotConnect,
    kAuthenticationRefused,
    kRecipientRefused,
    kSenderRefused,
    kTlsFailed,  // no TLS session, or a server certificate that does not verify
    kRejected,   // any other refusal or a broken conversation
};

enum class TlsMode {
    kNone,      // plain SMTP
    kStartTls,  // plain connection upgraded with STARTTLS; no message without it
    kSmtps,     // TLS from the first byte (implicit TLS)
};

struct SmtpRequest {
    std::string server;
    int port = 25;
    TlsMode tls = TlsMode::kNone;
    std::string caFile;  // empty: the system's CA store
    std::string user;    // AUTH only when not empty
    std::string password;
    std::string envelopeSender;
    std::vector<std::string> recipients;
    std::string message;  // complete, CR LF lines
};

struct SendResult {
    SendOutcome outcome = SendOutcome::kRejected;
    std::string detail;  // libcurl's description of the failure
};

// The name this host gives in EHLO: its fully qualified name when the
// resolver knows one, else the address literal ("[192.0.2.7]") of the
// interface that reaches `server`.
std::string HeloName(const std::string& server, int port);

// Call once per program before the first SendMessage (libcurl's global set-up).
void InitializeSmtp();

// Sends the message; kAccepted exactly when the server took it for delivery
// (it answered the end of DATA with a 2xx reply).
SendResult SendMessage(const SmtpRequest& request);

}  // namespace tarn::mailer
