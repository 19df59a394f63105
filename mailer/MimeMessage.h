#pragma once
// One Internet message (RFC 5322, MIME) built with GMime: headers, an
// optional text body and an optional attachment.

#include <string>

#include "mailer/Addresses.h"
#include "mailer/MailText.h"
#include "platform/Status.h"

namespace tarn::mailer {

// Longest line SMTP carries (RFC 5321, section 4.5.3.1.6), without CR LF.
inline constexpr std::size_t kMaxLineLength = 998;

struct MailAttachment {
    std::string name;      // file name shown to the recipient (no folder)
    std::string contents;  // the file's bytes
};

// Texts are bytes in `charset`, or UTF-8 (see MailText.h).
struct MailMessage {
    std::string charset = kDefaultCharset;
    std::string info;           // -i: the From mailbox, or a display name for the sender
    std::string senderAddress;  // envelope sender, shown in From unless -i is a mailbox
    std::string recipients;     // -t list
    std::string subject;
    bool hasBody = false;
    std::string body;  // text body, any line ends
    bool hasAttachment = false;
    MailAttachment attachment;
};

// The last component of a path, cut at '/' and '\'.
std::string AttachmentName(const std::string& path);

// The whole message, lines ended by CR LF, ready for the SMTP DATA phase.
// Fails only on a recipient list that cannot be read (ParseAddressList).
Status ComposeMessage(const MailMessage& message, std::string* out);

}  // namespace tarn::mailer
