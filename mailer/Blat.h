#pragma once
// The mailer program: reads its command line (MailerOptions.h), builds one
// MIME message and hands it to the SMTP server.

#include <string>
#include <vector>

namespace tarn::mailer {

// Exit statuses of the mailer. Only kExitSent means the server accepted the message.
enum MailerExit {
    kExitSent = 0,
    kExitBadArguments = 1,
    kExitFileMissing = 2,
    kExitCannotConnect = 3,
    kExitAuthenticationRefused = 4,
    kExitRecipientRefused = 5,
    kExitSenderRefused = 6,
    kExitRejected = 7,
    kExitTlsFailed = 8,
};

struct MailerReport {
    std::string info;   // progress lines for standard output (empty with -q)
    std::string error;  // one line for standard error, empty on success
};

// Runs the mailer on the arguments after the program name.
int RunMailer(const std::vector<std::string>& args, MailerReport* report);

}  // namespace tarn::mailer
