#pragma once
// E-mail dispatch: every e-mail order is handed to the outside mailer `blat`,
// started once per order; its exit status 0 means the mail was accepted.
// Runs on the calling conversation's thread; keeps no state.

#include <string>

namespace tarn {

class CServiceConfig;
struct EmailRecord;

// Subject used when the order carries none.
inline constexpr const char* kDefaultSubject = "DEV output";
// Base name of the mailer program in the tool folder.
inline constexpr const char* kMailerName = "blat";
// The mailer reads the SMTP password from this environment variable, so
// that it never stands on a command line any local user can read.
inline constexpr const char* kMailerPasswordVariable = "TARN_SMTP_PASSWORD";
// What events and console lines show in place of the password.
inline constexpr const char* kShownPassword = " -pw ***";

// The mailer's command line for `record` (its subject already defaulted),
// without the trailing " -q" and without the password, which travels in
// kMailerPasswordVariable. Each value reaches the mailer as exactly one
// argument: where a value would split differently (blanks, quotes, empty)
// it is quoted so that it splits back into itself; otherwise the line is
// the plain concatenation the mailer has always been given. `emcharset`,
// `emtls` and `emcafile` add -charset, -tls and -cafile only when set.
std::string BuildMailerCommandLine(const CServiceConfig& config, const std::string& mailerPath,
                                   const EmailRecord& record);

// Sends one order whose attachment is set. True when the mailer ran and
// ended with exit status 0. Reports its failures as events and, when an
// activity log is configured, writes one activity line per call. The
// temporary body file is deleted on every path.
bool SendMail(EmailRecord& record);

}  // namespace tarn
