#pragma once
// The client side of the request protocol, as an ERP client speaks it:
// greeting, command line, report text with e-mail orders, `_EOF_`, replies.
// Used by the tarn-send program that operators test a configuration with.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn {

struct SendOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 5000;
    std::string section;
    std::string rawName;              // default: the text file's own name
    std::vector<std::string> emails;  // "addresses^subject^name^body template"
    bool crlf = true;                 // line end sent: CR LF, or LF alone
    std::string file;                 // the text file to send
};

// Reads the command line; on failure *error says what is wrong.
bool ParseSendArguments(int argc, const char* const* argv, SendOptions* options, std::string* error);
// How to call the program.
std::string SendUsage();

// Everything sent after the command line was acknowledged: the raw-file
// marker, the e-mail lines, every text line with the chosen line end (a
// CR before LF in the file is dropped first; page breaks pass unchanged)
// and the `_EOF_` line.
std::string BuildReportBytes(const SendOptions& options, const std::string& text);
// The command line naming the raw file and the section.
std::string BuildRunLine(const SendOptions& options);

// Sends `text` as one job and collects every byte the server sends back
// (greeting included) into *replies until it closes the connection.
Status SendReport(const SendOptions& options, const std::string& text, std::string* replies);

// True when the server's answer to the job is "ok".
bool ReplyIsOk(const std::string& replies);

}  // namespace tarn
