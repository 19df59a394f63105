#pragma once
// Hands one message to an SMTP server through libcurl.

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
    kRejected,  // any other refusal or a broken conversation
};

struct SmtpRequest {
    std::string server;
    int port = 25;
    std::string user;  // AUTH only when not empty
    std::string password;
    std::string envelopeSender;
    std::vector<std::string> recipients;
    std::string message;  // complete, CR LF lines
};

struct SendResult {
    SendOutcome outcome = SendOutcome::kRejected;
    std::string detail;  // libcurl's description of the failure
};

// Call once per program before the first SendMessage (libcurl's global set-up).
void InitializeSmtp();

// Sends the message; kAccepted exactly when the server took it for delivery
// (it answered the end of DATA with a 2xx reply).
SendResult SendMessage(const SmtpRequest& request);

}  // namespace tarn::mailer
