#pragma once
// The command line of `blat`, the mailer the service starts once per e-mail:
//   blat <file> [-attach <file>] -subject <text> -f <sender> -t <list>
//        [-i <from>] -server <host> [-port <port>] [-base64]
//        [-u <user> [-pw <password> | -pwfile <file>]] [-q]
//        [-charset <name>] [-tls none|starttls|smtps] [-cafile <file>]
// With -u and neither -pw nor -pwfile the password is taken from the
// environment variable TARN_SMTP_PASSWORD.

#include <string>
#include <vector>

#include "mailer/Addresses.h"
#include "mailer/MailText.h"
#include "mailer/SmtpSender.h"
#include "platform/Status.h"

namespace tarn::mailer {

// Environment variable holding the SMTP password (kept off the command line).
inline constexpr const char* kPasswordVariable = "TARN_SMTP_PASSWORD";

// Default ports: SMTP, and SMTP over implicit TLS.
inline constexpr int kSmtpPort = 25;
inline constexpr int kSmtpsPort = 465;

struct MailerOptions {
    std::string firstFile;   // the text body, or the file to send in the without-body form
    std::string attachment;  // -attach
    std::string subject;     // -subject
    std::string sender;      // -f: envelope sender
    std::string recipients;  // -t: RFC 5322 address list, as given
    std::string info;        // -i: From mailbox, or display name for the sender
    std::string server;      // -server
    int port = 0;            // -port; 0: the default of the TLS mode
    bool base64 = false;     // -base64: send the first file as a base64 attachment
    std::string user;        // -u
    bool havePassword = false;
    std::string password;                   // -pw
    std::string passwordFile;               // -pwfile
    bool quiet = false;                     // -q
    std::string charset = kDefaultCharset;  // -charset: texts that are not UTF-8
    TlsMode tls = TlsMode::kNone;           // -tls
    std::string caFile;                     // -cafile: CA certificates instead of the system's
};

// Reads the arguments after the program name. Option names are matched
// without regard to case. Fails with a message naming the faulty argument.
Status ParseMailerOptions(const std::vector<std::string>& args, MailerOptions* options);

// The password for -u: -pw, else the -pwfile file's first line (the file
// must be a regular file, not a symbolic link, owned by the caller and
// readable by nobody else), else TARN_SMTP_PASSWORD. Fails when none is
// given.
Status ResolvePassword(const MailerOptions& options, std::string* password);

// The envelope sender: -f, or the address of -i when -f is empty and -i is
// a mailbox. A sender without a domain is refused.
Status EnvelopeSender(const MailerOptions& options, std::string* address);

}  // namespace tarn::mailer
