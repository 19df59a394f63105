#pragma once
// One Internet message (RFC 5322) in MIME form (RFC 2045 to 2047, 2231):
// headers, an optional text body and an optional base64 attachment.

#include <string>

#include "platform/LocalTime.h"

namespace tarn::mailer {

// Bytes of the message texts are taken as this character set (the ERP's
// ANSI code page); nothing is converted.
inline constexpr const char* kTextCharset = "windows-1252";
// Longest header or body line that SMTP carries (RFC 5321, section 4.5.3.1.6),
// without its CR LF.
inline constexpr std::size_t kMaxLineLength = 998;

struct MailAttachment {
    std::string name;      // file name shown to the recipient (no folder)
    std::string contents;  // the file's bytes
};

struct MailMessage {
    std::string from;           // From header: address, or display name
    std::string senderAddress;  // address shown with a display name in From
    std::string to;             // To header: the recipient list as given
    std::string subject;
    bool hasBody = false;
    std::string body;  // text body, any line ends
    bool hasAttachment = false;
    MailAttachment attachment;
};

// What varies from message to message, chosen by the caller.
struct MessageStamp {
    std::string date;       // Date header value
    std::string messageId;  // Message-ID header value, with angle brackets
    std::string boundary;   // multipart boundary
};

// RFC 5322 date: "Mon, 07 Dec 2026 10:02:31 +0100", in English whatever the locale.
std::string FormatMailDate(const LocalDateTime& time);

// A fresh stamp: the current date, a unique Message-ID in the sender's
// domain and a boundary that cannot occur in base64 text.
MessageStamp NewMessageStamp(const std::string& senderAddress);

// A header value as is when it is printable ASCII of modest length, else as
// base64 encoded words (RFC 2047) in kTextCharset, folded across lines.
// Line breaks in the value never start a new header.
std::string EncodeHeaderText(const std::string& text);

// The From header value: -i as is when it holds an address ('@'), a quoted
// display name with the sender's address otherwise, the sender alone when
// -i is empty.
std::string FromHeader(const std::string& info, const std::string& senderAddress);

// The last component of a path, cut at '/' and '\'.
std::string AttachmentName(const std::string& path);

// The whole message, lines ended by CR LF, ready for the SMTP DATA phase.
std::string ComposeMessage(const MailMessage& message, const MessageStamp& stamp);

}  // namespace tarn::mailer
