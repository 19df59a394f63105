#pragma once
// The command line of `blat`, the mailer the service starts once per e-mail:
//   blat <file> [-attach <file>] -subject <text> -f <sender> -t <list>
//        [-i <from>] -server <host> [-port <port>] [-base64]
//        [-u <user> -pw <password>] [-q]

#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn::mailer {

struct MailerOptions {
    std::string firstFile;   // the text body, or the file to send in the without-body form
    std::string attachment;  // -attach
    std::string subject;     // -subject
    std::string sender;      // -f: envelope sender
    std::string recipients;  // -t: comma-separated list, as given
    std::string info;        // -i: From header address, or display name for the sender
    std::string server;      // -server
    int port = 25;           // -port
    bool base64 = false;     // -base64: send the first file as a base64 attachment
    std::string user;        // -u
    std::string password;    // -pw
    bool quiet = false;      // -q
};

// Reads the arguments after the program name. Option names are matched
// without regard to case. Fails with a message naming the faulty argument.
Status ParseMailerOptions(const std::vector<std::string>& args, MailerOptions* options);

// The addresses of a -t list: fields split at commas, blanks trimmed, the
// part inside angle brackets when a field holds "Name <address>". Fails on
// an empty list and on an address holding blanks, controls or brackets.
Status ParseRecipients(const std::string& list, std::vector<std::string>* addresses);

// The envelope sender: -f, or the address in -i when -f is empty.
Status EnvelopeSender(const MailerOptions& options, std::string* address);

}  // namespace tarn::mailer
